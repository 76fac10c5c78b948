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

PanelPosition panelPositionFor(const Rect& s) {
  // C++ division truncates toward zero, as the layout rule asks.
  PanelPosition p;
  p.top = (s.bottom - s.top) / 2 + s.top - panelHeight / 2;
  p.left = (s.right - s.left) / 2 + s.left - panelWidth / 2;
  return p;
}

PanelPlacement panelPlacementFor(const Rect& s, const ScreenLayout& layout) {
  PanelPosition centred = panelPositionFor(s);
  int on = monitorAt(layout, s.left + s.width() / 2, s.top + s.height() / 2);
  if (on < 0) return {centred.left, centred.top, 96};
  const Monitor& monitor = layout.monitors[static_cast<std::size_t>(on)];
  int width = mulDiv(panelWidth, monitor.dpi, 96), height = mulDiv(panelHeight, monitor.dpi, 96);
  PanelPlacement p{centred.left + panelWidth / 2 - width / 2, centred.top + panelHeight / 2 - height / 2,
                   monitor.dpi};
  // Right and bottom first, so a panel larger than the monitor keeps its top-left corner on it.
  const Rect& m = monitor.bounds;
  p.left = std::max(std::min(p.left, m.right - width), m.left);
  p.top = std::max(std::min(p.top, m.bottom - height), m.top);
  return p;
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
