#include "imaging/gif_animation.h"

#include "imaging/colour_histogram.h"
#include "imaging/colour_reduction.h"
#include "imaging/gif_encoder.h"
#include "imaging/little_endian.h"
#include "imaging/lzw_encoder.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace glimor::imaging {
namespace {

constexpr std::uint32_t colourMask = 0xFFFFFF;
constexpr int largestDelay = 65535; // centiseconds in a Graphic Control Extension

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool empty() const { return width == 0 || height == 0; }
};

// The bounding rectangle of the pixels that differ between two frames.
Rect changedRect(const std::uint32_t* a, const std::uint32_t* b, int width, int height) {
  int left = width, right = -1, top = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* rowA = a + static_cast<std::size_t>(y) * width;
    const std::uint32_t* rowB = b + static_cast<std::size_t>(y) * width;
    if (std::memcmp(rowA, rowB, sizeof(std::uint32_t) * width) == 0) continue;
    if (top < 0) top = y;
    bottom = y;
    int x = 0;
    while (rowA[x] == rowB[x]) ++x;
    left = std::min(left, x);
    x = width - 1;
    while (rowA[x] == rowB[x]) --x;
    right = std::max(right, x);
  }
  if (top < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

// One frame's image: pixel indices (an 8-bit bitmap, rows bottom-up as encodeLzw
// reads them), its colour table and the transparent index, if any.
struct IndexedFrame {
  Bitmap indices;
  std::vector<std::uint32_t> table;
  int transparent = -1;
};

Bitmap emptyIndices(const Rect& rect) {
  Bitmap bitmap;
  bitmap.width = rect.width;
  bitmap.height = rect.height;
  bitmap.bitsPerPixel = 8;
  bitmap.pixels.assign(bitmap.stride() * static_cast<std::size_t>(rect.height), 0);
  return bitmap;
}

// Calls visit(colour, changed, index byte) for each pixel of `rect`, top row first.
template <typename Visit>
void forEachInRect(const std::uint32_t* frame, const std::uint32_t* before, int frameWidth, const Rect& rect,
                   Bitmap& indices, Visit visit) {
  const std::size_t stride = indices.stride();
  for (int y = 0; y < rect.height; ++y) {
    const std::size_t at = static_cast<std::size_t>(rect.top + y) * frameWidth + rect.left;
    std::uint8_t* out = indices.pixels.data() + stride * static_cast<std::size_t>(rect.height - 1 - y);
    for (int x = 0; x < rect.width; ++x) {
      const std::uint32_t colour = frame[at + x];
      if (!visit(colour, !before || before[at + x] != colour, out[x])) return;
    }
  }
}

// Exact: every changed colour its own entry, the transparent index after them.
// Empty when the colours do not fit.
std::optional<IndexedFrame> exactFrame(const std::uint32_t* frame, const std::uint32_t* before,
                                       int frameWidth, const Rect& rect) {
  IndexedFrame result;
  result.indices = emptyIndices(rect);
  histogram::ColourIndex index;
  bool anyUnchanged = false, fits = true;
  forEachInRect(frame, before, frameWidth, rect, result.indices,
                [&](std::uint32_t colour, bool changed, std::uint8_t& out) {
                  if (!changed) {
                    anyUnchanged = true;
                    return true;
                  }
                  const auto next = static_cast<std::uint32_t>(result.table.size());
                  const std::uint32_t entry = index.findOrAdd(colour, next);
                  if (entry == next) {
                    if (next == 256) return fits = false;
                    result.table.push_back(colour);
                  }
                  out = static_cast<std::uint8_t>(entry);
                  return true;
                });
  if (!fits || (anyUnchanged && result.table.size() == 256)) return std::nullopt;
  if (anyUnchanged) {
    result.transparent = static_cast<int>(result.table.size());
    result.table.push_back(0);
    const auto transparent = static_cast<std::uint8_t>(result.transparent);
    forEachInRect(frame, before, frameWidth, rect, result.indices,
                  [&](std::uint32_t, bool changed, std::uint8_t& out) {
                    if (!changed) out = transparent;
                    return true;
                  });
  }
  return result;
}

int squaredDistance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return sum;
}

// Too many colours: the still images' reduction over the changed pixels. When some
// pixels stay transparent, the least used entry gives way to them.
IndexedFrame reducedFrame(const std::uint32_t* frame, const std::uint32_t* before, int frameWidth,
                          const Rect& rect) {
  Bitmap image;
  image.width = rect.width;
  image.height = rect.height;
  image.bitsPerPixel = 32;
  image.pixels.resize(image.stride() * static_cast<std::size_t>(rect.height));
  // Unchanged pixels repeat a changed colour so that they add none of their own.
  std::uint32_t filler = 0;
  bool anyUnchanged = false, haveFiller = false;
  for (int y = 0; y < rect.height && !haveFiller; ++y)
    for (int x = 0; x < rect.width && !haveFiller; ++x) {
      const std::size_t at = static_cast<std::size_t>(rect.top + y) * frameWidth + rect.left + x;
      if (!before || before[at] != frame[at]) filler = frame[at], haveFiller = true;
    }
  for (int y = 0; y < rect.height; ++y) {
    std::uint8_t* out = image.pixels.data() + image.stride() * static_cast<std::size_t>(rect.height - 1 - y);
    for (int x = 0; x < rect.width; ++x, out += 4) {
      const std::size_t at = static_cast<std::size_t>(rect.top + y) * frameWidth + rect.left + x;
      const bool changed = !before || before[at] != frame[at];
      anyUnchanged |= !changed;
      const std::uint32_t colour = changed ? frame[at] : filler;
      out[0] = static_cast<std::uint8_t>(colour); // blue, green, red, unused
      out[1] = static_cast<std::uint8_t>(colour >> 8);
      out[2] = static_cast<std::uint8_t>(colour >> 16);
      out[3] = 0;
    }
  }
  IndexedFrame result;
  result.indices = reduceColours(image);
  result.table = result.indices.palette;
  if (!anyUnchanged) return result;

  std::vector<std::size_t> uses(256, 0);
  forEachInRect(frame, before, frameWidth, rect, result.indices,
                [&](std::uint32_t, bool changed, std::uint8_t& out) {
                  if (changed) ++uses[out];
                  return true;
                });
  const auto transparent =
      static_cast<std::uint8_t>(std::min_element(uses.begin(), uses.end()) - uses.begin());
  std::uint8_t nearest = transparent == 0 ? 1 : 0;
  for (int i = 0; i < 256; ++i)
    if (i != transparent && squaredDistance(result.table[i], result.table[transparent]) <
                                squaredDistance(result.table[nearest], result.table[transparent]))
      nearest = static_cast<std::uint8_t>(i);
  forEachInRect(frame, before, frameWidth, rect, result.indices,
                [&](std::uint32_t, bool changed, std::uint8_t& out) {
                  if (!changed)
                    out = transparent;
                  else if (out == transparent)
                    out = nearest;
                  return true;
                });
  result.table[transparent] = 0;
  result.transparent = transparent;
  return result;
}

// A frame that shows nothing new: one transparent pixel, to carry a delay.
IndexedFrame emptyFrame() {
  IndexedFrame result;
  result.indices = emptyIndices({0, 0, 1, 1});
  result.table = {0};
  result.transparent = 0;
  return result;
}

void putFrame(platform::Bytes& out, const Rect& rect, const IndexedFrame& frame, int centiseconds) {
  // Graphic Control Extension: disposal 1 (do not dispose), transparency flag, delay.
  out.insert(out.end(), {0x21, 0xF9, 0x04});
  out.push_back(static_cast<std::uint8_t>(0x04 | (frame.transparent >= 0 ? 0x01 : 0x00)));
  le::put16(out, static_cast<std::uint32_t>(centiseconds));
  out.push_back(static_cast<std::uint8_t>(std::max(frame.transparent, 0)));
  out.push_back(0x00);
  // Image descriptor with a local colour table of 2^bits entries, the fewest that hold it.
  int bits = 1;
  while ((std::size_t{1} << bits) < frame.table.size()) ++bits;
  out.push_back(0x2C);
  le::put16(out, static_cast<std::uint32_t>(rect.left));
  le::put16(out, static_cast<std::uint32_t>(rect.top));
  le::put16(out, static_cast<std::uint32_t>(rect.width));
  le::put16(out, static_cast<std::uint32_t>(rect.height));
  out.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1)));
  for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
    const std::uint32_t rgb = i < frame.table.size() ? frame.table[i] : 0;
    out.insert(out.end(), {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                           static_cast<std::uint8_t>(rgb)});
  }
  encodeLzw(frame.indices, out); // minimum code size 8 holds any table up to 256
}

void putHeader(platform::Bytes& out, int width, int height) {
  const char signature[] = "GIF89a";
  out.insert(out.end(), signature, signature + 6);
  le::put16(out, static_cast<std::uint32_t>(width));
  le::put16(out, static_cast<std::uint32_t>(height));
  out.insert(out.end(), {0x70, 0x00, 0x00}); // no global table, 8-bit colour resolution
  // Application extension NETSCAPE2.0: loop count 0, forever.
  const char application[] = "NETSCAPE2.0";
  out.insert(out.end(), {0x21, 0xFF, 0x0B});
  out.insert(out.end(), application, application + 11);
  out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
}

} // namespace

GifAnimationWriter::Sink GifAnimationWriter::appendTo(platform::Bytes& out) {
  return [&out](std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
}

GifAnimationWriter::GifAnimationWriter(int width, int height, Sink sink)
    : width_(width), height_(height), sink(std::move(sink)) {
  if (width < 1 || height < 1 || width > largestSide || height > largestSide ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > largestArea || !this->sink)
    throw EInvalidGraphic("Animation size is not valid");
}

void GifAnimationWriter::checkUsable() const {
  if (finished) throw EInvalidGraphicOperation("The animation is finished");
  if (failed) throw EInvalidGraphicOperation("The animation could not be written");
}

void GifAnimationWriter::addFrame(const std::uint32_t* pixels, int delayMs) {
  checkUsable();
  if (!pixels) throw EInvalidGraphic("No frame pixels to write");
  if (delayMs < 0) throw EInvalidGraphic("Frame delay is not valid");
  const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  if (hasPending) {
    bool same = true;
    for (std::size_t i = 0; i < count && same; ++i) same = (pixels[i] & colourMask) == pending[i];
    if (same) {
      pendingMs += delayMs;
      return;
    }
    writePending();
    previous.swap(pending);
  }
  pending.resize(count);
  for (std::size_t i = 0; i < count; ++i) pending[i] = pixels[i] & colourMask;
  pendingMs = delayMs;
  hasPending = true;
}

void GifAnimationWriter::finish() {
  checkUsable();
  if (!hasPending) throw EInvalidGraphicOperation("No GIF Data to write");
  writePending();
  emit({0x3B});
  finished = true;
  pending = {};
  previous = {};
}

void GifAnimationWriter::writePending() {
  platform::Bytes out;
  out.reserve(1024);
  if (!hasWritten) putHeader(out, width_, height_);
  const std::uint32_t* before = hasWritten ? previous.data() : nullptr;
  const Rect rect =
      before ? changedRect(pending.data(), before, width_, height_) : Rect{0, 0, width_, height_};
  // The frame ends at the rounded total time, so rounding errors never add up.
  writtenMs += pendingMs;
  std::int64_t centiseconds = (writtenMs + 5) / 10 - writtenCentiseconds;
  writtenCentiseconds += centiseconds;
  if (rect.empty()) {
    putFrame(out, {0, 0, 1, 1}, emptyFrame(),
             static_cast<int>(std::min<std::int64_t>(centiseconds, largestDelay)));
  } else {
    std::optional<IndexedFrame> frame = exactFrame(pending.data(), before, width_, rect);
    if (!frame) frame = reducedFrame(pending.data(), before, width_, rect);
    putFrame(out, rect, *frame, static_cast<int>(std::min<std::int64_t>(centiseconds, largestDelay)));
  }
  // A delay beyond what one frame holds goes on in frames that change nothing.
  for (centiseconds -= largestDelay; centiseconds > 0; centiseconds -= largestDelay)
    putFrame(out, {0, 0, 1, 1}, emptyFrame(),
             static_cast<int>(std::min<std::int64_t>(centiseconds, largestDelay)));
  emit(out);
  hasWritten = true;
}

void GifAnimationWriter::emit(const platform::Bytes& bytes) {
  try {
    sink(bytes);
  } catch (...) {
    failed = true;
    throw;
  }
}

} // namespace glimor::imaging
