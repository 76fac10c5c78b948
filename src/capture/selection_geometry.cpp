#include "capture/selection_geometry.h"

#include "capture/print_layout.h"
#include "platform/paths.h"

#include <algorithm>
#include <utility>

namespace glimor::capture {

FinishedSelection finishRectangle(int anchorX, int anchorY, int releaseX, int releaseY, int pictureWidth,
                                  int pictureHeight, const ScreenLayout& layout) {
  FinishedSelection result;
  Rect& r = result.rect;
  r.left = anchorX;
  r.top = anchorY;
  r.right = std::clamp(releaseX, 0, std::max(pictureWidth, 0));
  r.bottom = std::clamp(releaseY, 0, std::max(pictureHeight, 0));
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  if (r.right == r.left || r.bottom == r.top) {
    int under = monitorAt(layout, releaseX, releaseY);
    r = under < 0 ? Rect{0, 0, pictureWidth, pictureHeight}
                  : layout.monitors[static_cast<std::size_t>(under)].bounds;
    result.fullScreen = true;
  }
  return result;
}

// Plain ASCII, so it reads the same in every code page.
const char* const keyHints = "Enter publish, Esc cancel, Ctrl+C copy, R A L H T N B P tools, Ctrl+Z undo";
const char* const recordKeyHints = "Enter record, Esc cancel, arrows move the pointer";

namespace {

constexpr int gap = 2; // between the selection and the panel, and between the panel's parts

// Right and bottom first, so something larger than the monitor keeps its top-left corner on it.
int keptOn(int start, int size, int low, int high) {
  return std::max(std::min(start, high - size), low);
}

} // namespace

int dpiOfSelection(const Rect& s, const ScreenLayout& layout) {
  int on = monitorAt(layout, s.left + s.width() / 2, s.top + s.height() / 2);
  return on < 0 ? 96 : layout.monitors[static_cast<std::size_t>(on)].dpi;
}

PanelDock panelPlacementFor(const Rect& s, const ScreenLayout& layout) {
  int on = monitorAt(layout, s.left + s.width() / 2, s.top + s.height() / 2);
  const Monitor* monitor = on < 0 ? nullptr : &layout.monitors[static_cast<std::size_t>(on)];
  int dpi = monitor ? monitor->dpi : 96;
  auto scaled = [dpi](int designed) { return mulDiv(designed, dpi, 96); };
  int g = scaled(gap), panelH = scaled(panelHeight), stripH = scaled(toolStripHeight);
  int height = panelH + g + stripH + g + scaled(keyHintsHeight);
  int top = s.bottom + g;
  if (monitor) {
    const Rect& m = monitor->bounds;
    if (top + height > m.bottom)
      top = s.top - g - height >= m.top ? s.top - g - height : s.bottom - g - height;
    top = keptOn(top, height, m.top, m.bottom);
  }
  int centre = s.left + s.width() / 2;
  auto part = [&](int width, int partTop) {
    int left = centre - scaled(width) / 2;
    if (monitor) left = keptOn(left, scaled(width), monitor->bounds.left, monitor->bounds.right);
    return PanelPlacement{left, partTop, dpi};
  };
  return {part(panelWidth, top), part(toolStripWidth, top + panelH + g),
          part(keyHintsWidth, top + panelH + g + stripH + g)};
}

std::string glimoCaption(bool fullScreen) {
  return fullScreen ? "Glimo FullScreen !" : "Glimo Selection !";
}

bool glimoEnabled(const Rect& s) {
  return s.right - s.left >= 20 && s.bottom - s.top >= 20;
}

CropFileNames cropFileNamesFor(const std::string& executablePath) {
  CropFileNames names;
  names.iniFileName = paths::folderOf(executablePath) + paths::changeExtension("Glimor.exe", ".ini");
  names.jpg = paths::changeExtension(names.iniFileName, ".jpg");
  names.bmp = paths::changeExtension(names.iniFileName, ".bmp");
  names.gif = paths::changeExtension(names.iniFileName, ".gif");
  names.png = paths::changeExtension(names.iniFileName, ".png");
  return names;
}

} // namespace glimor::capture
