#pragma once
#include "screen/picture.h"

#include <optional>
#include <string>

namespace glimor::platform {

// What shows a recording while it runs, always outside the recorded rectangle so that it never
// appears in a frame: a thin frame around the rectangle and a small bar with the elapsed time,
// "Stop" and "Discard".
class RecordingView {
public:
  virtual ~RecordingView() = default;
  // `area` in screen pixels; the bar at `bar` (its top-left corner, screen pixels) drawn for `dpi`,
  // or no bar when there is no room for one outside the rectangle.
  virtual void show(const screen::Rect& area, const std::optional<screen::Point>& bar, int dpi) = 0;
  virtual void setElapsed(const std::string& text) = 0;
  virtual void hide() = 0;
};

} // namespace glimor::platform
