#pragma once
#include "capture/picture.h"
#include "capture/screen_layout.h"

#include <string>

namespace glimor::capture {

struct FinishedSelection {
  Rect rect;
  bool fullScreen = false;
};

// The rectangle between the press point (anchor) and the release point on a
// picture of the given size. The release point is clamped to the picture, so a
// release outside the captured monitors never reaches beyond it; a rectangle without width
// or height becomes the whole monitor under the release point (the whole picture when the
// layout names no monitor).
FinishedSelection finishRectangle(int anchorX, int anchorY, int releaseX, int releaseY, int pictureWidth,
                                  int pictureHeight, const ScreenLayout& layout = ScreenLayout{});

// The panel's top-left corner, centred on the selection (not kept on screen).
struct PanelPosition {
  int left = 0, top = 0;
  bool operator==(const PanelPosition&) const = default;
};
inline constexpr int panelWidth = 180;
inline constexpr int panelHeight = 35;
PanelPosition panelPositionFor(const Rect& selection);

// Where the panel goes and the resolution it is drawn at: centred on the selection as above,
// scaled for the monitor that holds the selection's centre (keeping that centre), then moved
// the least distance that puts it wholly on that monitor. Without monitors: as designed, at 96 dpi.
struct PanelPlacement {
  int left = 0, top = 0, dpi = 96;
  bool operator==(const PanelPlacement&) const = default;
};
PanelPlacement panelPlacementFor(const Rect& selection, const ScreenLayout& layout);

std::string glimoCaption(bool fullScreen);
// The publish button needs at least 20 x 20 pixels.
bool glimoEnabled(const Rect& selection);

struct CropFileNames {
  std::string iniFileName, jpg, bmp, gif, png;
};
// Always Glimor.jpg, .bmp, .gif and .png in the executable's folder, whatever the executable is called.
CropFileNames cropFileNamesFor(const std::string& executablePath);

} // namespace glimor::capture
