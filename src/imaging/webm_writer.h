#pragma once
#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace glimor::imaging {

// Writes a WebM video (VP9, tuned for screen content) frame by frame. Frames are
// encoded as they come, on the caller's thread; only the compressed file grows in
// memory (the muxer seeks back to fill in sizes, cues and the duration), and
// finish() hands it to the sink.
// - Consecutive frames that convert to the same picture become one frame shown for the
//   sum of their delays; a frame shown for 0 ms is left out. The file's duration is the
//   sum of all delays.
// - Colours become limited-range BT.709 Y'CbCr 4:2:0, the chroma of odd sizes rounded
//   up, and the track's Colour element says so.
class WebmWriter {
public:
  // Receives the file's bytes in order; any one call may be the last on failure.
  using Sink = std::function<void(std::span<const std::uint8_t>)>;
  static Sink appendTo(platform::Bytes& out);

  static constexpr int largestSide = 16384;
  static constexpr std::uint64_t largestArea = 1ull << 26;

  // Throws EInvalidGraphic("Animation size is not valid") for a side outside
  // 1..largestSide or an area above largestArea, and for an empty sink;
  // EInvalidGraphicOperation when the encoder cannot start.
  WebmWriter(int width, int height, Sink sink);
  ~WebmWriter();
  WebmWriter(const WebmWriter&) = delete;
  WebmWriter& operator=(const WebmWriter&) = delete;

  // `pixels`: width*height colours 0x00RRGGBB (the high byte is ignored), the top row
  // first, shown for `delayMs` milliseconds. Throws EInvalidGraphic for null pixels or
  // a negative delay (the writer stays usable), EInvalidGraphicOperation after
  // finish() or a failed encode or write.
  void addFrame(const std::uint32_t* pixels, int delayMs);
  // The last frame given is shown `ms` milliseconds longer, so that a recorder can hand a
  // frame over before it knows how long it shows. Throws EInvalidGraphic for a negative
  // time, EInvalidGraphicOperation before the first frame and where addFrame() does.
  void lengthenLast(int ms);
  // Frames wait behind the ones given (a recorder falling behind the screen): while they do, the
  // frames after the keyframe are encoded in about half the time, for more bytes.
  void setHurried(bool framesWait);
  // Encodes the pending frame, flushes the encoder, writes the cues and the duration
  // and gives the file to the sink. Throws EInvalidGraphicOperation("No video data to
  // write") without frames, and after finish() or a failure.
  void finish();

  int width() const { return width_; }
  int height() const { return height_; }

private:
  struct Encoder;
  void checkUsable() const;
  void encodePending(bool last);

  int width_, height_;
  Sink sink;
  std::unique_ptr<Encoder> encoder; // also holds the frame still growing by merges
  std::int64_t pendingMs = 0;
  std::int64_t encodedMs = 0; // where the pending frame starts
  bool hasPending = false, finished = false, failed = false, hurried = false;
};

} // namespace glimor::imaging
