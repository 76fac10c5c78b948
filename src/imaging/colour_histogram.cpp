#include "imaging/colour_histogram.h"

namespace glimor::imaging::histogram {
namespace {

template <int BytesPerPixel>
bool count(const Bitmap& image, Colour mask, Histogram& histogram, std::uint16_t* entryOfPixel) {
  std::vector<Tally>& tallies = histogram.tallies;
  tallies.clear();
  tallies.reserve(capacity);
  ColourIndex index;
  // Screens repeat colours along a row, so the previous pixel's entry is tried first.
  Colour previous = 0xFFFFFFFF;
  std::uint32_t entry = 0;
  bool complete = true;
  forEachPixel<BytesPerPixel>(image, [&](Colour colour, std::size_t position) {
    colour &= mask;
    if (colour != previous) {
      const auto next = static_cast<std::uint32_t>(tallies.size());
      entry = index.findOrAdd(colour, next);
      if (entry == next) {
        if (next == capacity) return complete = false;
        tallies.push_back({colour, 0, static_cast<std::uint32_t>(position)});
      }
      previous = colour;
    }
    ++tallies[entry].count;
    entryOfPixel[position] = static_cast<std::uint16_t>(entry);
    return true;
  });
  return complete;
}

} // namespace

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

bool countMasked(const Bitmap& image, Colour mask, Histogram& histogram, std::uint16_t* entryOfPixel) {
  return image.bitsPerPixel == 32 ? count<4>(image, mask, histogram, entryOfPixel)
                                  : count<3>(image, mask, histogram, entryOfPixel);
}

} // namespace glimor::imaging::histogram
