#pragma once
#include "screen/display_format.h"
#include "screen/picture.h"
#include "screen/screen_layout.h"
#include "screen/window_list.h"

#include <vector>

namespace glimor::platform {

// The screen's monitors and pixels, in physical pixels whatever each monitor's scaling.
class Screen {
public:
  virtual ~Screen() = default;
  // Every monitor, the primary one marked; at least the primary one.
  virtual std::vector<screen::Monitor> monitors() = 0;
  // The pixels of `area`, in screen pixels (it may start left of or above the primary monitor).
  virtual screen::Picture grab(const screen::Rect& area) = 0;
  // The display's depth (32 on a true-colour display) and, at 8 bits or fewer, its colours.
  virtual screen::DisplayFormat displayFormat() = 0;
  // The visible top-level windows of other programs, topmost first, each with its visible child
  // windows, in screen pixels as the screen shows them.
  virtual std::vector<screen::WindowBox> windows() = 0;
};

} // namespace glimor::platform
