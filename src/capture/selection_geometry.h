#pragma once
#include "capture/picture.h"

#include <string>

namespace glimor::capture {

struct FinishedSelection {
  Rect rect;
  bool fullScreen = false;
};

// The rectangle between the press point (anchor) and the release point on a
// picture of the given size. The release point is clamped to the picture, so a
// release on another monitor never reaches outside it; a rectangle without width
// or height becomes the whole picture.
FinishedSelection finishRectangle(int anchorX, int anchorY, int releaseX, int releaseY, int pictureWidth,
                                  int pictureHeight);

// The panel's top-left corner, centred on the selection (not kept on screen).
struct PanelPosition {
  int left = 0, top = 0;
  bool operator==(const PanelPosition&) const = default;
};
inline constexpr int panelWidth = 180;
inline constexpr int panelHeight = 35;
PanelPosition panelPositionFor(const Rect& selection);

std::string glimoCaption(bool fullScreen);
// The publish button needs at least 20 x 20 pixels.
bool glimoEnabled(const Rect& selection);

struct CropFileNames {
  std::string iniFileName, jpg, bmp, gif, png;
};
// Always Glimor.jpg, .bmp, .gif and .png in the executable's folder, whatever the executable is called.
CropFileNames cropFileNamesFor(const std::string& executablePath);

} // namespace glimor::capture
