#pragma once
#include "capture/screen_terms.h"

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

// The button panel, the strip of drawing tools and the line of key hints, designed at 96 dpi.
inline constexpr int panelWidth = 180;
inline constexpr int panelHeight = 35;
// A button for each of the eight drawing tools and a last one for the colour and size of the next mark.
inline constexpr int toolStripSlots = 9;
inline constexpr int toolButtonSize = 22;
inline constexpr int toolStripWidth = toolStripSlots * toolButtonSize + 4;
inline constexpr int toolStripHeight = toolButtonSize + 4;
// Wide enough for the hints in the scaled outline face at every resolution.
inline constexpr int keyHintsWidth = 420;
inline constexpr int keyHintsHeight = 16;
extern const char* const keyHints;
extern const char* const recordKeyHints; // when the selection is of what to record

// A top-left corner in picture pixels and the resolution to draw at.
struct PanelPlacement {
  int left = 0, top = 0, dpi = 96;
  bool operator==(const PanelPlacement&) const = default;
};
struct PanelDock {
  PanelPlacement panel, strip, hints;
  bool operator==(const PanelDock&) const = default;
};

// The resolution of the monitor that holds the selection's centre; 96 without monitors.
int dpiOfSelection(const Rect& selection, const ScreenLayout& layout);

// The panel with the strip and the hints under it, beside the selection so that none of it is
// covered: under it where the monitor that holds the selection's centre has room, else above it,
// else inside its bottom edge. Each is scaled for that monitor, centred on the selection and
// moved the least distance that keeps it wholly on the monitor. Without monitors: at 96 dpi,
// under the selection, not moved.
PanelDock panelPlacementFor(const Rect& selection, const ScreenLayout& layout);

std::string glimoCaption(bool fullScreen);
// The first button's caption when the selection is of what to record.
inline const std::string recordCaption = "Record";
// The publish button needs at least 20 x 20 pixels.
bool glimoEnabled(const Rect& selection);

struct CropFileNames {
  std::string iniFileName, jpg, bmp, gif, png;
};
// Always Glimor.jpg, .bmp, .gif and .png in the executable's folder, whatever the executable is called.
CropFileNames cropFileNamesFor(const std::string& executablePath);

} // namespace glimor::capture
