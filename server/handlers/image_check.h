#pragma once
#include "image_type.h"
#include "thumbnail.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glimor::server {

// What a check holds an upload to: each frame (and a GIF's logical screen) at
// most `maxPixels`, all frames of an animated GIF or a WebM video together at
// most `maxTotalPixels`.
struct PixelLimits {
  static constexpr std::uint64_t defaultMaxTotalPixels = 2'000'000'000;

  PixelLimits(std::uint64_t maxPixels, std::uint64_t maxTotalPixels = defaultMaxTotalPixels)
      : maxPixels(maxPixels), maxTotalPixels(maxTotalPixels) {}
  std::uint64_t maxPixels;
  std::uint64_t maxTotalPixels;
};

// A recording's frames and how long it plays; a still picture has one frame
// and plays for no time.
struct Motion {
  std::uint64_t frames = 0;
  std::uint64_t durationMs = 0;
};

// The longest recording kept: Glimor records at most 300 s at up to 30 frames
// a second; the rest is room for the last frame's own time and rounding. Their
// frames are counted for GIFs too, whose delays are only hints and not bounded.
inline constexpr std::chrono::seconds maxRecordingTime{305};
inline constexpr std::uint64_t maxRecordingFrames = 305 * 30;

// Counts one more frame of `pixels` against the limits (which the headers may
// already have passed singly), and throws the Refusal (415) that says which
// bound it passes.
void countFrame(Motion& motion, std::uint64_t& totalPixels, std::uint64_t pixels, const PixelLimits& limits);

// Whether `bytes` decode completely as `type`: every pixel of every frame,
// within `limits` (judged from the headers before any pixel is decoded where
// they tell), and nothing after the image's end. Memory stays bounded: rows are
// decoded one at a time into one buffer, and the decoders' own state is capped.
// An image that would cost more than the limits below is refused with a
// Refusal (415) that says so, since it may be complete; a WebM is refused that
// way whatever is wrong with it. With `thumbnail`, the decoded pixels also
// make the image's thumbnail (the first frame, a GIF's on its logical screen),
// at the cost of that decode, which the limits above count. With `motion`, it
// learns the frames and the duration.
bool isCompleteImage(std::string_view bytes, const ImageType& type, const PixelLimits& limits,
                     ThumbnailMaker* thumbnail = nullptr, Motion* motion = nullptr);

// A real encoder writes about ten scans; each scan is one more pass over every
// block of its components, so a file of hundreds of tiny scans costs seconds.
inline constexpr int maxJpegScans = 64;
// Processor time one image's check may take, judged on the thread's own clock.
inline constexpr std::chrono::milliseconds maxDecodeTime{2000};

// The processor time the calling thread has spent since it was made; stops a
// decode that runs over maxDecodeTime. Reading the clock is a system call, so
// decoders read it by work done: once per workPerReading bytes of decoded rows,
// a row counting rowUpkeep more for its own overhead. A row is at most a few
// megabytes, so a few very wide rows are watched as closely as many narrow ones.
class DecodeClock {
public:
  static constexpr std::size_t workPerReading = 1 << 20;
  static constexpr std::size_t rowUpkeep = 64;

  DecodeClock();
  // Throws Refusal (415) once maxDecodeTime is spent.
  void check() const;
  bool overrun() const;
  // Counts a decoded row of `bytes`, and reads the clock when its turn has come.
  bool overrunAfterRow(std::size_t bytes);
  void checkAfterRow(std::size_t bytes);

private:
  std::chrono::nanoseconds start_;
  std::size_t work_ = 0;
};

// Where DecodeClock reads the time on the calling thread: its processor clock,
// or with a stand-in (tests), that; nullptr gives back the processor clock.
using ProcessorClock = std::chrono::nanoseconds (*)();
void standInProcessorClock(ProcessorClock clock);

// The checks behind it, one per format.
bool isCompleteBmp(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail = nullptr);
bool isCompleteJpeg(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail = nullptr);
bool isCompleteGif(std::string_view bytes, const PixelLimits& limits, ThumbnailMaker* thumbnail = nullptr,
                   Motion* motion = nullptr);
bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail = nullptr);
bool isCompleteWebm(std::string_view bytes, const PixelLimits& limits, ThumbnailMaker* thumbnail = nullptr,
                    Motion* motion = nullptr);

} // namespace glimor::server
