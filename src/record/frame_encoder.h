#pragma once
#include "platform/files.h"
#include "platform/option_controls.h"

#include <cstdint>
#include <memory>
#include <string>

namespace glimor::record {

// What a recording's frames go into: an animation file written as they come.
class FrameEncoder {
public:
  virtual ~FrameEncoder() = default;
  // `pixels`: the recording's width*height colours 0x00RRGGBB, top row first, shown `delayMs`;
  // they are read during the call only.
  virtual void addFrame(const std::uint32_t* pixels, int delayMs) = 0;
  // The last frame added is shown `ms` longer.
  virtual void lengthenLast(int ms) = 0;
  // Grabbed frames wait behind the next one added: an encoder that can trade bytes for time
  // does so until they no longer do.
  virtual void setHurried(bool framesWait) = 0;
  // Ends the animation and writes its file. Throws Error when it cannot be written.
  virtual void finish() = 0;
};

// An encoder of `type` whose file replaces the one at `path` when it finishes, so that a
// recording thrown away or failed leaves the previous file as it was.
std::unique_ptr<FrameEncoder> fileEncoder(platform::RecordingType type, int width, int height,
                                          std::string path, platform::Files& files);

} // namespace glimor::record
