#include "capture/magnifier.h"

#include "capture/screen_terms.h"
#include "platform/ini_keys.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace glimor::capture {

namespace {
constexpr std::uint32_t frameColour = 0x000000;
constexpr std::uint32_t labelBackground = 0x202020;
constexpr std::uint32_t pointerOutline = 0xFF2020;

// Half way to mid grey: a grid line shows on dark and on light pixels alike.
std::uint32_t gridOf(std::uint32_t c) {
  return ((c >> 1) & 0x7F7F7F) + 0x404040;
}

std::uint32_t blend(std::uint32_t under, std::uint32_t over, int coverage) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int a = static_cast<int>((under >> shift) & 0xFF), b = static_cast<int>((over >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(a + (b - a) * coverage / 255) << shift;
  }
  return out;
}

Rect clipped(Rect r, const Picture& p) {
  return {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, p.width), std::min(r.bottom, p.height)};
}
} // namespace

void Magnifier::onShow() {
  forget();
  on_ = platform::ini::read(profile_, platform::ini::magnifier);
}

void Magnifier::toggle() {
  on_ = !on_;
  platform::ini::write(profile_, platform::ini::magnifier, on_);
}

std::vector<Rect> Magnifier::follow(CaptureState& state, Point at, bool selecting) {
  if (!on_ || !selecting || state.p.empty()) return hide(state.p);
  int under = monitorAt(state.screen, at.x, at.y);
  Rect monitor = under < 0 ? Rect{0, 0, state.p.width, state.p.height}
                           : state.screen.monitors[static_cast<std::size_t>(under)].bounds;
  std::optional<Point> size;
  if (state.drawing)
    size = Point{std::abs(at.x - state.selection.left), std::abs(at.y - state.selection.top)};
  return show(state.p, at, monitor, {state.screen.area.left, state.screen.area.top}, size);
}

Rect Magnifier::placeFor(Point at, const Rect& monitor, int height) {
  int left = at.x + gap, top = at.y + gap;
  if (left + lens + 2 > monitor.right) left = at.x - gap - lens - 2;
  if (top + height > monitor.bottom) top = at.y - gap - height;
  // A monitor too small for either side: it stays on the monitor, as near as it can.
  left = std::clamp(left, monitor.left, std::max(monitor.left, monitor.right - lens - 2));
  top = std::clamp(top, monitor.top, std::max(monitor.top, monitor.bottom - height));
  return {left, top, left + lens + 2, top + height};
}

std::vector<Rect> Magnifier::hide(Picture& p) {
  if (!box_) return {};
  Rect r = *box_;
  box_.reset();
  for (int y = r.top; y < r.bottom; ++y) std::copy_n(under_.row(y - r.top), r.width(), p.row(y) + r.left);
  return {r};
}

std::vector<Rect> Magnifier::show(Picture& p, Point at, const Rect& monitor, Point origin,
                                  std::optional<Point> dragSize) {
  std::vector<Rect> changed = hide(p);
  int height = lens + 2 + labelHeight * (dragSize ? 2 : 1);
  Rect box = clipped(placeFor(at, monitor, height), p);
  if (box.width() <= 0 || box.height() <= 0) return changed;
  under_ = Picture(box.width(), box.height());
  for (int y = box.top; y < box.bottom; ++y)
    std::copy_n(p.row(y) + box.left, box.width(), under_.row(y - box.top));
  box_ = box;

  for (int y = box.top; y < box.bottom; ++y) std::fill_n(p.row(y) + box.left, box.width(), frameColour);
  drawLens(p, at, box);
  int line = box.top + lens + 2;
  drawLabel(p, std::to_string(at.x + origin.x) + ", " + std::to_string(at.y + origin.y), box.left + 1, line,
            box.right - 1);
  if (dragSize)
    drawLabel(p, std::to_string(dragSize->x) + " x " + std::to_string(dragSize->y), box.left + 1,
              line + labelHeight, box.right - 1);
  changed.push_back(box);
  return changed;
}

// Each pixel around the pointer as a block of zoom x zoom, its last row and column the grid; the
// pointer's own pixel outlined. Pixels off the picture stay the frame's black.
void Magnifier::drawLens(Picture& p, Point at, const Rect& box) {
  for (int sy = -reach; sy <= reach; ++sy) {
    int y = at.y + sy;
    if (y < 0 || y >= p.height) continue;
    for (int sx = -reach; sx <= reach; ++sx) {
      int x = at.x + sx;
      if (x < 0 || x >= p.width) continue;
      std::uint32_t colour = p.at(x, y), grid = gridOf(colour);
      int left = box.left + 1 + (sx + reach) * zoom, top = box.top + 1 + (sy + reach) * zoom;
      for (int by = 0; by < zoom; ++by) {
        int py = top + by;
        if (py < box.top || py >= box.bottom) continue;
        std::uint32_t* row = p.row(py);
        for (int bx = 0; bx < zoom; ++bx) {
          int px = left + bx;
          if (px < box.left || px >= box.right) continue;
          bool pointerEdge = sx == 0 && sy == 0 && (bx == 0 || by == 0 || bx == zoom - 1 || by == zoom - 1);
          row[px] = pointerEdge ? pointerOutline : (bx == zoom - 1 || by == zoom - 1) ? grid : colour;
        }
      }
    }
  }
}

void Magnifier::drawLabel(Picture& p, const std::string& text, int left, int top, int right) {
  int bottom = std::min(top + labelHeight, p.height);
  for (int y = std::max(top, 0); y < bottom; ++y)
    std::fill_n(p.row(y) + left, std::max(right - left, 0), labelBackground);
  platform::GlyphMask mask = glyphs_.render(text, labelHeight - 3, false);
  int x0 = left + 4, y0 = top + 1;
  for (int y = 0; y < mask.height && y0 + y < bottom; ++y) {
    if (y0 + y < 0) continue;
    std::uint32_t* row = p.row(y0 + y);
    for (int x = 0; x < mask.width && x0 + x < right; ++x) {
      int coverage = mask.coverage[static_cast<std::size_t>(y * mask.width + x)];
      if (coverage) row[x0 + x] = blend(row[x0 + x], 0xFFFFFF, coverage);
    }
  }
}

} // namespace glimor::capture
