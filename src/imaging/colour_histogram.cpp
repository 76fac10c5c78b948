#include "imaging/colour_histogram.h"

namespace glimor::imaging::histogram {

Colour maskOfLevel(int level) {
  unsigned red = 0xFF, green = 0xFF, blue = 0xFF;
  for (int i = 0; i < level; ++i) {
    // Compared as unsigned bytes; from three equal masks this lowers blue, red, green in turn.
    if (red < green)
      green = (green << 1) & 0xFF;
    else if (red > blue)
      red = (red << 1) & 0xFF;
    else
      blue = (blue << 1) & 0xFF;
  }
  return (red << 16) | (green << 8) | blue;
}

ColourIndex::ColourIndex() : keys(1u << bits, 0), entries(1u << bits, 0) {}

std::uint32_t ColourIndex::findOrAdd(Colour colour, std::uint32_t next) {
  const std::uint32_t key = colour + (1u << 24);
  for (unsigned slot = slotOf(colour);; slot = (slot + 1) & ((1u << bits) - 1)) {
    if (keys[slot] == key) return entries[slot];
    if (keys[slot] == 0) {
      keys[slot] = key;
      entries[slot] = static_cast<std::uint16_t>(next);
      return next;
    }
  }
}

std::uint32_t ColourIndex::find(Colour colour) const {
  const std::uint32_t key = colour + (1u << 24);
  unsigned slot = slotOf(colour);
  while (keys[slot] != key) slot = (slot + 1) & ((1u << bits) - 1);
  return entries[slot];
}

std::optional<Histogram> countMasked(const Bitmap& bgr24, Colour mask) {
  static_assert((1u << 13) >= 2 * capacity, "the index must stay at most half full");
  Histogram histogram{mask, {}, {}};
  std::vector<Tally>& tallies = histogram.tallies;
  tallies.reserve(capacity);
  const std::size_t stride = bgr24.stride();
  std::uint32_t position = 0;
  // Screens repeat colours along a row, so the previous pixel's entry is tried first.
  Colour previous = 0xFFFFFFFF;
  std::uint32_t previousEntry = 0;
  for (int y = 0; y < bgr24.height; ++y) {
    const std::uint8_t* pixel = bgr24.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < bgr24.width; ++x, pixel += 3, ++position) {
      const Colour colour = colourAt(pixel) & mask;
      if (colour != previous) {
        const auto next = static_cast<std::uint32_t>(tallies.size());
        previousEntry = histogram.index.findOrAdd(colour, next);
        if (previousEntry == next) {
          if (next == capacity) return std::nullopt;
          tallies.push_back({colour, 0, position});
        }
        previous = colour;
      }
      ++tallies[previousEntry].count;
    }
  }
  return histogram;
}

} // namespace glimor::imaging::histogram
