#include "imaging/colour_reduction.h"

#include "imaging/coarse_histogram.h"
#include "imaging/colour_histogram.h"
#include "platform/error.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace glimor::imaging {
namespace {

using namespace histogram;

constexpr std::size_t paletteSize = 256;
constexpr Colour fillerGrey = 0x808080;

int squaredDistance(Colour a, Colour b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return sum;
}

// Palette and each tally's palette index: the most frequent colours in order of
// decreasing count (equal counts: first seen first), then grey; every colour left
// out takes its nearest palette colour (equal distances: the lowest index).
struct Mapping {
  std::array<Colour, paletteSize> palette;
  std::vector<std::uint8_t> paletteIndexOf; // by tally
};

Mapping choosePalette(const std::vector<Tally>& tallies) {
  Mapping mapping;
  mapping.palette.fill(fillerGrey);
  mapping.paletteIndexOf.assign(tallies.size(), 0);
  std::vector<std::uint16_t> order(tallies.size());
  std::iota(order.begin(), order.end(), std::uint16_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint16_t a, std::uint16_t b) { return tallies[a].count > tallies[b].count; });
  const std::size_t chosen = std::min(paletteSize, tallies.size());
  for (std::size_t i = 0; i < chosen; ++i) {
    mapping.palette[i] = tallies[order[i]].colour;
    mapping.paletteIndexOf[order[i]] = static_cast<std::uint8_t>(i);
  }
  for (std::size_t i = chosen; i < order.size(); ++i) {
    const Colour colour = tallies[order[i]].colour;
    int best = 0, bestDistance = squaredDistance(colour, mapping.palette[0]);
    for (int j = 1; j < static_cast<int>(paletteSize) && bestDistance != 0; ++j) {
      const int distance = squaredDistance(colour, mapping.palette[j]);
      if (distance < bestDistance) best = j, bestDistance = distance;
    }
    mapping.paletteIndexOf[order[i]] = static_cast<std::uint8_t>(best);
  }
  return mapping;
}

Bitmap emptyIndexed(const Bitmap& source, const Mapping& mapping) {
  Bitmap result;
  result.width = source.width;
  result.height = source.height;
  result.bitsPerPixel = 8;
  result.palette.assign(mapping.palette.begin(), mapping.palette.end());
  result.pixels.assign(result.stride() * static_cast<std::size_t>(source.height), 0); // padding stays 0
  return result;
}

// Writes each pixel's palette index, as `indexOf(colour)` gives it.
template <typename IndexOf> void writeIndices(const Bitmap& source, Bitmap& result, IndexOf indexOf) {
  const std::size_t inStride = source.stride(), outStride = result.stride();
  for (int y = 0; y < source.height; ++y) {
    const std::uint8_t* in = source.pixels.data() + inStride * static_cast<std::size_t>(y);
    std::uint8_t* out = result.pixels.data() + outStride * static_cast<std::size_t>(y);
    for (int x = 0; x < source.width; ++x, in += 3) out[x] = indexOf(in);
  }
}

Bitmap fromHistogram(const Bitmap& source, const Histogram& histogram) {
  const Mapping mapping = choosePalette(histogram.tallies);
  Bitmap result = emptyIndexed(source, mapping);
  Colour previous = 0xFFFFFFFF;
  std::uint8_t previousIndex = 0;
  writeIndices(source, result, [&](const std::uint8_t* pixel) {
    const Colour colour = colourAt(pixel) & histogram.mask;
    if (colour != previous) {
      previous = colour;
      previousIndex = mapping.paletteIndexOf[histogram.index.find(colour)];
    }
    return previousIndex;
  });
  return result;
}

Bitmap fromCoarse(const Bitmap& source, const std::vector<Tally>& tallies, int level) {
  const Mapping mapping = choosePalette(tallies);
  Bitmap result = emptyIndexed(source, mapping);
  // Every level-6 colour falls into exactly one tally of this level.
  std::vector<std::uint8_t> indexOfSlot(CoarseHistogram::slots, 0);
  std::vector<std::uint16_t> tallyOfSlot(CoarseHistogram::slots, 0);
  for (std::size_t i = 0; i < tallies.size(); ++i)
    tallyOfSlot[CoarseHistogram::slotOf(tallies[i].colour)] = static_cast<std::uint16_t>(i);
  const Colour mask = maskOfLevel(level);
  for (std::uint32_t slot = 0; slot < CoarseHistogram::slots; ++slot) {
    const Colour colour = CoarseHistogram::colourOfSlot(slot) & mask;
    indexOfSlot[slot] = mapping.paletteIndexOf[tallyOfSlot[CoarseHistogram::slotOf(colour)]];
  }
  writeIndices(source, result, [&](const std::uint8_t* pixel) {
    return indexOfSlot[static_cast<std::uint32_t>(pixel[2] >> 2) << 12 |
                       static_cast<std::uint32_t>(pixel[1] >> 2) << 6 |
                       static_cast<std::uint32_t>(pixel[0] >> 2)];
  });
  return result;
}

} // namespace

Bitmap reduceColours(const Bitmap& bgr24) {
  if (bgr24.bitsPerPixel != 24 || !bgr24.isValid()) throw Error("Bitmap image is not valid");
  // Full precision first: screens rarely hold more than 2049 colours.
  if (auto histogram = countMasked(bgr24, maskOfLevel(0))) return fromHistogram(bgr24, *histogram);

  // Too many colours: one pass counts level 6, from which every coarser level follows.
  const CoarseHistogram coarse(bgr24);
  if (coarse.distinctColours() <= capacity) {
    // Some level between 1 and 5 may already fit; only a pass at that precision tells.
    for (int level = 1; level < CoarseHistogram::level; ++level)
      if (auto histogram = countMasked(bgr24, maskOfLevel(level))) return fromHistogram(bgr24, *histogram);
  }
  // 11 bits remain after 13 levels, so at most 2048 colours: some level fits by then.
  for (int level = CoarseHistogram::level;; ++level)
    if (auto tallies = coarse.talliesOfLevel(level)) return fromCoarse(bgr24, *tallies, level);
}

} // namespace glimor::imaging
