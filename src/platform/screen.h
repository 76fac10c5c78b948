#pragma once
#include "capture/picture.h"

namespace glimor::platform {

// The primary monitor's pixels.
class Screen {
public:
  virtual ~Screen() = default;
  // The whole primary screen from the desktop's point (0, 0), at its full size.
  virtual capture::Picture grabPrimary() = 0;
  // Bits per pixel of the display (32 on a true-colour display).
  virtual int displayBitsPerPixel() = 0;
};

} // namespace glimor::platform
