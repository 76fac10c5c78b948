#pragma once
#include "imaging/bitmap.h"

#include <cstdint>
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

// The colour of one pixel whose blue, green, red bytes start at `bgr`.
inline Colour colourAt(const std::uint8_t* bgr) {
  return static_cast<Colour>(bgr[0]) | (static_cast<Colour>(bgr[1]) << 8) |
         (static_cast<Colour>(bgr[2]) << 16);
}

struct Tally {
  Colour colour;           // masked
  std::uint32_t count;     // pixels of this masked colour
  std::uint32_t firstSeen; // position of its first pixel, in scan order
};

// Exact lookup of up to `capacity` colours by open addressing.
class ColourIndex {
public:
  ColourIndex();
  // The entry number of `colour`, or the number `next` after storing it there.
  std::uint32_t findOrAdd(Colour colour, std::uint32_t next);
  std::uint32_t find(Colour colour) const; // the colour must be present

private:
  static constexpr unsigned bits = 13;
  static unsigned slotOf(Colour colour) { return (colour * 0x9E3779B1u) >> (32 - bits); }
  std::vector<std::uint32_t> keys; // colour + 1 << 24 (never 0); 0 marks an empty slot
  std::vector<std::uint16_t> entries;
};

// The counted colours of one precision level, in first-seen order.
struct Histogram {
  Colour mask;
  std::vector<Tally> tallies;
  ColourIndex index;
};

// Counts the masked colours of the image; nothing when there are more than `capacity`.
std::optional<Histogram> countMasked(const Bitmap& bgr24, Colour mask);

} // namespace glimor::imaging::histogram
