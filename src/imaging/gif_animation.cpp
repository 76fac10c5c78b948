#include "imaging/gif_animation.h"

#include "imaging/animation_frames.h"

#include "imaging/colour_histogram.h"
#include "imaging/gif_encoder.h"
#include "imaging/gif_index_choices.h"
#include "imaging/little_endian.h"
#include "imaging/lzw_choosing_encoder.h"
#include "imaging/palette_fit.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace glimor::imaging {
namespace {

constexpr int largestDelay = 65535; // centiseconds in a Graphic Control Extension
// A pixel of a fitted frame that the next frame replaces may show as an entry up to three levels
// further off in each channel, at one unit of squared error per pixel on average.
constexpr int nearDistance = 3 * 3 * 3;
constexpr int errorPerPixel = 16; // sixteenths

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

// One frame's image, pixel by pixel with the top row first: the indices, the colours they
// stand for and, for unchanged pixels, the other index that shows them exactly; the colour
// table and the transparent index, if any.
struct IndexedFrame {
  std::vector<std::uint8_t> indices;
  std::vector<std::uint32_t> colours;
  std::vector<std::int16_t> exact;
  std::vector<std::uint32_t> table;
  int transparent = -1;
  bool fitted = false; // the table is fitted to more colours than it holds
};

std::vector<std::uint8_t> emptyIndices(const Rect& rect) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(rect.width) *
                                   static_cast<std::size_t>(rect.height));
}

// Calls visit(colour, changed, index byte) for each pixel of `rect`, top row first.
template <typename Visit>
void forEachInRect(const std::uint32_t* frame, const std::uint32_t* before, int frameWidth, const Rect& rect,
                   std::vector<std::uint8_t>& indices, Visit visit) {
  for (int y = 0; y < rect.height; ++y) {
    const std::size_t at = static_cast<std::size_t>(rect.top + y) * frameWidth + rect.left;
    std::uint8_t* out = indices.data() + static_cast<std::size_t>(y) * rect.width;
    for (int x = 0; x < rect.width; ++x) {
      const std::uint32_t colour = frame[at + x];
      if (!visit(colour, !before || before[at + x] != colour, out[x])) return;
    }
  }
}

// The colour table of the changed pixels: each its own entry when they fit, else a fitted
// palette; the transparent index after them when some pixels are unchanged.
IndexedFrame tableOfChanges(const std::uint32_t* frame, const std::uint32_t* before, int frameWidth,
                            const Rect& rect, std::optional<FittedPalette>& fitted) {
  IndexedFrame result;
  result.indices = emptyIndices(rect);
  histogram::ColourIndex index;
  bool anyUnchanged = false, fits = true;
  forEachInRect(frame, before, frameWidth, rect, result.indices,
                [&](std::uint32_t colour, bool changed, std::uint8_t& out) {
                  if (!changed) return anyUnchanged = true;
                  const auto next = static_cast<std::uint32_t>(result.table.size());
                  const std::uint32_t entry = index.findOrAdd(colour, next);
                  if (entry == next) {
                    if (next == 256) return fits = false;
                    result.table.push_back(colour);
                  }
                  out = static_cast<std::uint8_t>(entry);
                  return true;
                });
  if (!fits || (anyUnchanged && result.table.size() == 256)) {
    std::vector<std::uint32_t> changes;
    changes.reserve(static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height));
    forEachInRect(frame, before, frameWidth, rect, result.indices,
                  [&](std::uint32_t colour, bool changed, std::uint8_t&) {
                    if (changed)
                      changes.push_back(colour);
                    else
                      anyUnchanged = true;
                    return true;
                  });
    fitted.emplace(changes, anyUnchanged ? 255 : 256);
    result.table = fitted->entries();
    result.fitted = true;
    forEachInRect(frame, before, frameWidth, rect, result.indices,
                  [&](std::uint32_t colour, bool changed, std::uint8_t& out) {
                    if (changed) out = fitted->entryOf(colour);
                    return true;
                  });
  }
  if (anyUnchanged) {
    result.transparent = static_cast<int>(result.table.size());
    result.table.push_back(0);
  }
  return result;
}

// Table entries by colour, for unchanged pixels whose colour the table holds exactly.
class ExactEntries {
public:
  explicit ExactEntries(const std::vector<std::uint32_t>& table, int transparent) {
    for (std::size_t i = 0; i < table.size(); ++i)
      if (static_cast<int>(i) != transparent) sorted.push_back({table[i], static_cast<int>(i)});
    std::sort(sorted.begin(), sorted.end());
  }
  int find(std::uint32_t colour) {
    if (colour == lastColour) return lastEntry;
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), std::pair{colour, -1});
    lastColour = colour;
    return lastEntry = at != sorted.end() && at->first == colour ? at->second : -1;
  }

private:
  std::vector<std::pair<std::uint32_t, int>> sorted;
  std::uint32_t lastColour = ~0u;
  int lastEntry = -1;
};

// The changed rectangle's first indices. An unchanged pixel may show as transparent or as its
// own colour when the table holds it: it goes on with whichever the pixel before it showed,
// so that runs stay long for LZW, and keeps the other as an exact alternative.
IndexedFrame changedIndices(const std::uint32_t* frame, const std::uint32_t* before, int frameWidth,
                            const Rect& rect) {
  std::optional<FittedPalette> fitted;
  IndexedFrame result = tableOfChanges(frame, before, frameWidth, rect, fitted);
  if (result.transparent < 0) {
    forEachInRect(frame, before, frameWidth, rect, result.indices,
                  [&](std::uint32_t colour, bool, std::uint8_t&) {
                    result.colours.push_back(colour);
                    return true;
                  });
    result.exact.assign(result.colours.size(), FrameChoices::none);
    return result;
  }
  const auto transparent = static_cast<std::uint8_t>(result.transparent);
  ExactEntries exact(result.table, result.transparent);
  result.colours.reserve(result.indices.size());
  result.exact.reserve(result.indices.size());
  int shown = -1;
  forEachInRect(frame, before, frameWidth, rect, result.indices,
                [&](std::uint32_t colour, bool changed, std::uint8_t& out) {
                  std::int16_t other = FrameChoices::none;
                  if (!changed) {
                    const int own = exact.find(colour);
                    out = own >= 0 && shown != transparent ? static_cast<std::uint8_t>(own) : transparent;
                    if (own >= 0) other = static_cast<std::int16_t>(out == transparent ? own : transparent);
                  }
                  result.colours.push_back(colour);
                  result.exact.push_back(other);
                  shown = out;
                  return true;
                });
  return result;
}

// The changed rectangle as indices, each pixel's colour marked when the next frame, if any,
// replaces it: such a pixel shows only for this frame's time.
IndexedFrame changedFrame(const std::uint32_t* frame, const std::uint32_t* before, const std::uint32_t* next,
                          int frameWidth, const Rect& rect) {
  IndexedFrame result = changedIndices(frame, before, frameWidth, rect);
  if (next)
    for (int y = 0; y < rect.height; ++y) {
      const std::size_t at = static_cast<std::size_t>(rect.top + y) * frameWidth + rect.left;
      std::uint32_t* colours = result.colours.data() + static_cast<std::size_t>(y) * rect.width;
      for (int x = 0; x < rect.width; ++x)
        if (((next[at + x] ^ frame[at + x]) & colourMask) != 0) colours[x] |= FrameChoices::passing;
    }
  return result;
}

// A frame that shows nothing new: one transparent pixel, to carry a delay.
IndexedFrame emptyFrame() {
  IndexedFrame result;
  result.indices = emptyIndices({0, 0, 1, 1});
  result.table = {0};
  result.transparent = 0;
  result.colours = {0};
  result.exact = {FrameChoices::none};
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
  std::vector<std::uint32_t> table = frame.table;
  table.resize(std::size_t{1} << bits, 0);
  FrameChoices choices(frame.indices, frame.colours, frame.exact, table, frame.transparent,
                       frame.fitted ? nearDistance : 0, errorPerPixel);
  encodeLzwChoosing(frame.indices.size(), static_cast<std::uint32_t>(std::max(bits, 2)), choices, out);
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
  checkAnimationSize(width, height, largestSide, largestArea, static_cast<bool>(this->sink));
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
    if (showsTheSame(pixels, pending)) {
      pendingMs += delayMs;
      return;
    }
    writePending(pixels);
    previous.swap(pending);
  }
  keepColours(pixels, count, pending);
  pendingMs = delayMs;
  hasPending = true;
}

void GifAnimationWriter::lengthenLast(int ms) {
  checkUsable();
  if (ms < 0) throw EInvalidGraphic("Frame delay is not valid");
  if (!hasPending) throw EInvalidGraphicOperation("No frame to lengthen");
  pendingMs += ms;
}

void GifAnimationWriter::finish() {
  checkUsable();
  if (!hasPending) throw EInvalidGraphicOperation("No GIF Data to write");
  writePending(nullptr);
  emit({0x3B});
  finished = true;
  pending = {};
  previous = {};
}

void GifAnimationWriter::writePending(const std::uint32_t* next) {
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
    putFrame(out, rect, changedFrame(pending.data(), before, next, width_, rect),
             static_cast<int>(std::min<std::int64_t>(centiseconds, largestDelay)));
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
