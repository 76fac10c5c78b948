#pragma once
#include "capture/display_format.h"
#include "capture/picture.h"
#include "capture/screen_layout.h"
#include "capture/window_list.h"

#include <vector>

namespace glimor::platform {

// The screen's monitors and pixels, in physical pixels whatever each monitor's scaling.
class Screen {
public:
  virtual ~Screen() = default;
  // Every monitor, the primary one marked; at least the primary one.
  virtual std::vector<capture::Monitor> monitors() = 0;
  // The pixels of `area`, in screen pixels (it may start left of or above the primary monitor).
  virtual capture::Picture grab(const capture::Rect& area) = 0;
  // The display's depth (32 on a true-colour display) and, at 8 bits or fewer, its colours.
  virtual capture::DisplayFormat displayFormat() = 0;
  // The visible top-level windows of other programs, topmost first, each with its visible child
  // windows, in screen pixels as the screen shows them.
  virtual std::vector<capture::WindowBox> windows() = 0;
};

} // namespace glimor::platform
