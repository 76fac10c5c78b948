#pragma once
#include "capture/display_format.h"
#include "capture/picture.h"

namespace glimor::platform {

// The primary monitor's pixels.
class Screen {
public:
  virtual ~Screen() = default;
  // The whole primary screen from the desktop's point (0, 0), at its full size.
  virtual capture::Picture grabPrimary() = 0;
  // The display's depth (32 on a true-colour display) and, at 8 bits or fewer, its colours.
  virtual capture::DisplayFormat displayFormat() = 0;
};

} // namespace glimor::platform
