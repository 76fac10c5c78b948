#pragma once
#include "capture/screen_layout.h"
#include "capture/selection_geometry.h"

namespace glimor::capture {

// The tool strip: a button for each of the eight drawing tools and a last one that shows the colour
// and size of the next mark, designed at 96 dpi.
inline constexpr int toolStripSlots = 9;
inline constexpr int toolButtonSize = 22;
inline constexpr int toolStripWidth = toolStripSlots * toolButtonSize + 4;
inline constexpr int toolStripHeight = toolButtonSize + 4;

// Right under the panel, centred on it, at the panel's resolution; above it where the monitor has no
// room below; always wholly on the monitor that holds the panel.
PanelPlacement toolStripPlacementFor(const PanelPlacement& panel, const ScreenLayout& layout);

// While a tool is chosen the panel leaves the selection, so that all of it can be drawn on: under
// the selection where its monitor has room for the panel and the strip, else above it, else inside
// its bottom edge; centred on the selection and kept on the monitor.
PanelPlacement panelPlacementWhileDrawing(const Rect& selection, const ScreenLayout& layout);

} // namespace glimor::capture
