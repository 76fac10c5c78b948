#include "capture/selection_geometry.h"

#include "platform/paths.h"

#include <algorithm>
#include <utility>

namespace glimor::capture {

FinishedSelection finishRectangle(int anchorX, int anchorY, int releaseX, int releaseY, int pictureWidth,
                                  int pictureHeight) {
  FinishedSelection result;
  Rect& r = result.rect;
  r.left = anchorX;
  r.top = anchorY;
  r.right = std::clamp(releaseX, 0, std::max(pictureWidth, 0));
  r.bottom = std::clamp(releaseY, 0, std::max(pictureHeight, 0));
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  if (r.right == r.left || r.bottom == r.top) {
    r = Rect{0, 0, pictureWidth, pictureHeight};
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
