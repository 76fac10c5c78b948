#include "capture/tool_strip_geometry.h"

#include "capture/print_layout.h"

#include <algorithm>

namespace glimor::capture {

namespace {

constexpr int gap = 2; // between the panel and the strip, and the selection and the panel

int scaled(int designed, int dpi) {
  return mulDiv(designed, dpi, 96);
}

// The monitor that holds the point, or the whole layout's area when it names none.
Rect monitorOf(const ScreenLayout& layout, int x, int y, int& dpi) {
  int on = monitorAt(layout, x, y);
  if (on < 0) {
    dpi = 96;
    return layout.area;
  }
  const Monitor& m = layout.monitors[static_cast<std::size_t>(on)];
  dpi = m.dpi;
  return m.bounds;
}

// Right and bottom first, so something larger than the monitor keeps its top-left corner on it.
int keptOn(int start, int size, int low, int high) {
  return std::max(std::min(start, high - size), low);
}

} // namespace

PanelPlacement toolStripPlacementFor(const PanelPlacement& panel, const ScreenLayout& layout) {
  int panelW = scaled(panelWidth, panel.dpi), panelH = scaled(panelHeight, panel.dpi);
  int width = scaled(toolStripWidth, panel.dpi), height = scaled(toolStripHeight, panel.dpi);
  int dpi = 96;
  Rect m = monitorOf(layout, panel.left + panelW / 2, panel.top + panelH / 2, dpi);
  PanelPlacement strip{panel.left + panelW / 2 - width / 2, panel.top + panelH + scaled(gap, panel.dpi),
                       panel.dpi};
  if (m.width() > 0 && strip.top + height > m.bottom) strip.top = panel.top - scaled(gap, panel.dpi) - height;
  if (m.width() <= 0) return strip;
  strip.left = keptOn(strip.left, width, m.left, m.right);
  strip.top = keptOn(strip.top, height, m.top, m.bottom);
  return strip;
}

PanelPlacement panelPlacementWhileDrawing(const Rect& s, const ScreenLayout& layout) {
  int dpi = 96;
  Rect m = monitorOf(layout, s.left + s.width() / 2, s.top + s.height() / 2, dpi);
  int panelW = scaled(panelWidth, dpi), panelH = scaled(panelHeight, dpi);
  int stripH = scaled(toolStripHeight, dpi), g = scaled(gap, dpi);
  int both = panelH + g + stripH;
  PanelPlacement p{s.left + s.width() / 2 - panelW / 2, 0, dpi};
  if (m.width() <= 0) m = Rect{s.left, s.top - both - g, s.right, s.bottom + both + g};
  if (s.bottom + g + both <= m.bottom)
    p.top = s.bottom + g;
  else if (s.top - g - both >= m.top)
    p.top = s.top - g - both;
  else
    p.top = s.bottom - g - both;
  p.left = keptOn(p.left, panelW, m.left, m.right);
  p.top = keptOn(p.top, both, m.top, m.bottom);
  return p;
}

} // namespace glimor::capture
