#pragma once
#include "screen/screen_layout.h"

#include <optional>

namespace glimor::record {

// The recording bar's size as designed, at 96 dpi, and its distance from the recorded rectangle
// (the frame drawn around the rectangle lies in between).
inline constexpr int barWidth = 236, barHeight = 30, barGap = 4;

struct BarPlacement {
  std::optional<screen::Point> at; // nothing when no room outside the rectangle
  int dpi = 96;
};

// The bar stands outside the recorded rectangle `s` (picture pixels of `layout`), so that it is
// never in a frame: under it on the monitor that holds its centre where there is room, else above
// it, else beside it; nowhere when the rectangle leaves no room on any side.
BarPlacement barPlacementFor(const screen::Rect& s, const screen::ScreenLayout& layout);

} // namespace glimor::record
