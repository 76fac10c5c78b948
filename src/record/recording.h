#pragma once
#include "platform/frame_source.h"
#include "record/frame_encoder.h"
#include "screen/picture.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glimor::record {

// The median and the 95th percentile of a cost per frame, in microseconds.
struct FrameCost {
  std::uint32_t median = 0, p95 = 0;
};

struct RecordingOutcome {
  std::size_t framesGrabbed = 0;
  // Moments of the frame rate that went by with no frame grabbed for them: a grab failed, or came
  // late because the one before took long or every picture was still with the encoder. The moment
  // under way when the recording ends is not one.
  std::size_t framesMissed = 0;
  std::uint64_t lengthMs = 0;
  FrameCost grab, encode; // on the steady clock of the machine, whatever the source's clock
};

// One recording: a thread grabs the live screen at the frame rate and another encodes what it
// grabbed, so that stopping leaves only the last few frames to encode. Memory is a few frames
// whatever the length: the grabs go round a small set of pictures, and a grab waits for a free
// one rather than growing the set (the moment it missed is then left out, and counted).
class Recording {
public:
  Recording(screen::Rect area, int fps, int longestMs, bool withPointer, platform::FrameSource& source,
            std::unique_ptr<FrameEncoder> encoder);
  ~Recording(); // a recording neither stopped nor discarded is discarded
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;

  void start();
  // Grabbing ends now (or ended at the longest length), the frames still waiting are encoded and
  // the file written. Throws what the encoder threw, then or before.
  RecordingOutcome stop();
  // Ends both threads; nothing more is encoded and no file is written.
  void discard();

  // Milliseconds since the start, at most the longest length.
  std::uint64_t elapsedMs();
  // The longest length has been reached: grabbing has ended and only stop() is left to call.
  bool reachedLongest();

private:
  struct Frame {
    screen::Picture picture;
    std::uint64_t atMs = 0; // from the start
  };
  void grabLoop();
  void encodeLoop();
  void end(bool keep);

  const screen::Rect area_;
  const int fps_;
  const std::uint64_t longestMs_;
  const bool withPointer_;
  platform::FrameSource& source_;
  std::unique_ptr<FrameEncoder> encoder_;
  std::uint64_t startMs_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Frame> frames_;      // the round of pictures
  std::vector<std::size_t> free_;  // indexes of frames_ the grabber may fill
  std::vector<std::size_t> queue_; // filled, oldest first, for the encoder
  bool stopping_ = false, discarding_ = false, grabbingDone_ = false;
  std::uint64_t endMs_ = 0; // from the start, once grabbing is done
  RecordingOutcome outcome_;
  std::vector<std::uint32_t> grabCosts_, encodeCosts_; // microseconds, one for each frame
  std::exception_ptr failure_;
  std::thread grabber_, encoderThread_;
};

} // namespace glimor::record
