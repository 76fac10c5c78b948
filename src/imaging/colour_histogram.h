#pragma once
#include "imaging/bitmap.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

// The colour counting behind reduceColours.
namespace glimor::imaging::histogram {

using Colour = std::uint32_t; // 0x00RRGGBB

// At most this many distinct colours are counted; more means precision is lowered.
inline constexpr std::size_t capacity = 2049;

// The channel masks after `level` low bits have been cleared: blue first, then red,
// then green, and round again (each step lowers the channel the rule picks).
Colour maskOfLevel(int level);

// The colour of one pixel of a 24-bit (blue, green, red) or 32-bit (blue, green,
// red, unused) row; the two depths hold the same colours in the same bytes.
template <int BytesPerPixel> inline Colour colourAt(const std::uint8_t* pixel) {
  if constexpr (BytesPerPixel == 4 && std::endian::native == std::endian::little) {
    std::uint32_t value;
    std::memcpy(&value, pixel, 4);
    return value & 0xFFFFFF;
  } else {
    return static_cast<Colour>(pixel[0]) | (static_cast<Colour>(pixel[1]) << 8) |
           (static_cast<Colour>(pixel[2]) << 16);
  }
}

// Calls visit(colour, position) for every pixel in memory order: rows from the
// bottom of the picture up, each left to right, padding skipped.
template <int BytesPerPixel, typename Visit> void forEachPixel(const Bitmap& image, Visit visit) {
  const std::size_t stride = image.stride();
  std::size_t position = 0;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* pixel = image.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < image.width; ++x, pixel += BytesPerPixel, ++position)
      if (!visit(colourAt<BytesPerPixel>(pixel), position)) return;
  }
}

struct Tally {
  Colour colour;           // masked
  std::uint32_t count;     // pixels of this masked colour
  std::uint32_t firstSeen; // position of its first pixel, in scan order
};

// Exact lookup of up to `capacity` colours by open addressing.
class ColourIndex {
public:
  ColourIndex() : slots(slotCount, Slot{0, 0}) {}
  // The entry number of `colour`, or `next` after storing it under that number.
  std::uint32_t findOrAdd(Colour colour, std::uint32_t next) {
    const std::uint32_t key = colour | 1u << 24; // never 0, which marks an empty slot
    for (unsigned slot = slotOf(colour);; slot = (slot + 1) & (slotCount - 1)) {
      if (slots[slot].key == key) return slots[slot].entry;
      if (slots[slot].key == 0) {
        slots[slot] = {key, next};
        return next;
      }
    }
  }

private:
  struct Slot {
    std::uint32_t key, entry;
  };
  static constexpr unsigned bits = 13; // 8192 slots: at most a quarter full
  static constexpr unsigned slotCount = 1u << bits;
  static unsigned slotOf(Colour colour) { return (colour * 0x9E3779B1u) >> (32 - bits); }
  std::vector<Slot> slots;
};

// The counted colours of one precision level, in first-seen order, and the entry
// number of every pixel, in scan order.
struct Histogram {
  std::vector<Tally> tallies;
};

// Counts the masked colours of a 24- or 32-bit image, writing each pixel's entry
// number to `entryOfPixel`; false when there are more than `capacity`.
bool countMasked(const Bitmap& image, Colour mask, Histogram& histogram, std::uint16_t* entryOfPixel);

} // namespace glimor::imaging::histogram
