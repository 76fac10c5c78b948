#pragma once
#include "screen/picture.h"

#include <cstdint>

namespace glimor::platform {

// The live screen as a recording reads it, from the recording's own thread.
class FrameSource {
public:
  virtual ~FrameSource() = default;
  // The pixels of `area` (screen pixels) into `into`, whose size becomes the area's, with the
  // mouse pointer drawn at its place and size when `withPointer`. False when the screen could not
  // be read: that moment is left out of the recording.
  virtual bool grab(const screen::Rect& area, bool withPointer, screen::Picture& into) = 0;
  // Milliseconds on a steady clock, from an arbitrary start.
  virtual std::uint64_t nowMs() = 0;
};

} // namespace glimor::platform
