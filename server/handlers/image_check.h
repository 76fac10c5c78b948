#pragma once
#include "image_type.h"
#include "thumbnail.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glimor::server {

// Whether `bytes` decode completely as `type`: every pixel of every frame, at most
// `maxPixels` of them (judged from the headers before any pixel is decoded), and
// nothing after the image's end. Memory stays bounded: rows are decoded one at a
// time into one buffer, and the decoders' own state is capped. An image that
// would cost more than the limits below is refused with a Refusal (415) that
// says so, since it may be complete. With `thumbnail`, the decoded pixels also
// make the image's thumbnail (a GIF's first frame on its logical screen), at
// the cost of that decode, which the limits above count.
bool isCompleteImage(std::string_view bytes, const ImageType& type, std::uint64_t maxPixels,
                     ThumbnailMaker* thumbnail = nullptr);

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
bool isCompleteGif(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail = nullptr);
bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail = nullptr);

} // namespace glimor::server
