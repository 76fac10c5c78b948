#pragma once
#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace glimor::imaging {

// Writes an animated GIF (GIF89a, looping forever) frame by frame to a sink, so that
// memory stays bounded however many frames come: it keeps only the last written
// frame and the pending one.
// - Identical consecutive frames become one frame whose delay is their sum; delays
//   are rounded to GIF's 1/100 s so that the total stays exact.
// - Every frame after the first holds only the bounding rectangle of the pixels that
//   changed ("do not dispose"); unchanged pixels inside it are transparent or their own
//   colour, whichever keeps runs longer.
// - Each frame has its own colour table: exact when the rectangle's changed pixels
//   have at most 255 colours (256 when none is transparent), otherwise a palette fitted
//   to them (flat areas exact, no dithering); there, pixels that the next frame replaces may
//   show as a nearby entry when that lets LZW strings run on, within one unit of squared
//   error per pixel on average.
class GifAnimationWriter {
public:
  // Receives the file's bytes in order; any one call may be the last on failure.
  using Sink = std::function<void(std::span<const std::uint8_t>)>;
  static Sink appendTo(platform::Bytes& out);

  static constexpr int largestSide = 65535;                // GIF stores sizes in 16 bits
  static constexpr std::uint64_t largestArea = 1ull << 26; // two frames of it are kept

  // Throws EInvalidGraphic("Animation size is not valid") for a side outside
  // 1..largestSide or an area above largestArea, and for an empty sink.
  GifAnimationWriter(int width, int height, Sink sink);

  // `pixels`: width*height colours 0x00RRGGBB (the high byte is ignored), the top row
  // first, shown for `delayMs` milliseconds. Throws EInvalidGraphic for null pixels or
  // a negative delay (the writer stays usable), EInvalidGraphicOperation after
  // finish() or a failed write.
  void addFrame(const std::uint32_t* pixels, int delayMs);
  // The last frame given is shown `ms` milliseconds longer, so that a recorder can hand a
  // frame over before it knows how long it shows. Throws EInvalidGraphic for a negative
  // time, EInvalidGraphicOperation before the first frame and where addFrame() does.
  void lengthenLast(int ms);
  // Writes the pending frame and the trailer. Throws EInvalidGraphicOperation("No GIF
  // Data to write") without frames, and after finish() or a failed write.
  void finish();

  int width() const { return width_; }
  int height() const { return height_; }

private:
  void checkUsable() const;
  void writePending(const std::uint32_t* next); // the frame after it, if any
  void emit(const platform::Bytes& bytes);

  int width_, height_;
  Sink sink;
  std::vector<std::uint32_t> previous; // the last written frame, as given
  std::vector<std::uint32_t> pending;  // the frame still growing by merges
  std::int64_t pendingMs = 0;
  bool hasPending = false, hasWritten = false, finished = false, failed = false;
  std::int64_t writtenMs = 0;           // delays of all written frames
  std::int64_t writtenCentiseconds = 0; // the same, as written to the file
};

} // namespace glimor::imaging
