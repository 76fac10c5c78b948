#include "imaging/colour_histogram.h"

namespace glimor::imaging::histogram {
namespace {

template <int BytesPerPixel>
bool count(const Bitmap& image, Colour mask, Histogram& histogram, std::uint16_t* entryOfPixel) {
  std::vector<Tally>& tallies = histogram.tallies;
  tallies.clear();
  tallies.reserve(capacity);
  ColourIndex index;
  // Plain locals in a plain loop keep the hot state in registers.
  std::uint32_t counts[capacity] = {};
  std::uint32_t entries = 0, entry = 0;
  // Screens repeat colours along a row, so the previous pixel's entry is tried first.
  Colour previous = 0xFFFFFFFF;
  const std::size_t stride = image.stride();
  const int width = image.width;
  std::uint32_t position = 0;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* pixel = image.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x, pixel += BytesPerPixel, ++position) {
      const Colour colour = colourAt<BytesPerPixel>(pixel) & mask;
      if (colour != previous) {
        entry = index.findOrAdd(colour, entries);
        if (entry == entries) {
          if (entries == capacity) return false;
          tallies.push_back({colour, 0, position});
          ++entries;
        }
        previous = colour;
      }
      ++counts[entry];
      entryOfPixel[position] = static_cast<std::uint16_t>(entry);
    }
  }
  for (std::uint32_t i = 0; i < entries; ++i) tallies[i].count = counts[i];
  return true;
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
