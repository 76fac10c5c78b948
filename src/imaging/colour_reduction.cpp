#include "imaging/colour_reduction.h"

#include "imaging/coarse_histogram.h"
#include "imaging/colour_distance.h"
#include "imaging/colour_histogram.h"
#include "platform/error.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

namespace glimor::imaging {
namespace {

using namespace histogram;

constexpr std::size_t paletteSize = 256;
constexpr Colour fillerGrey = 0x808080;

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

// Writes each pixel's palette index, as `indexOf(colour, position)` gives it.
template <int BytesPerPixel, typename IndexOf>
void writeIndices(const Bitmap& source, Bitmap& result, IndexOf indexOf) {
  const std::size_t inStride = source.stride(), outStride = result.stride();
  std::size_t position = 0;
  for (int y = 0; y < source.height; ++y) {
    const std::uint8_t* in = source.pixels.data() + inStride * static_cast<std::size_t>(y);
    std::uint8_t* out = result.pixels.data() + outStride * static_cast<std::size_t>(y);
    for (int x = 0; x < source.width; ++x, in += BytesPerPixel, ++position)
      out[x] = indexOf(colourAt<BytesPerPixel>(in), position);
  }
}

template <typename IndexOf> void writeIndicesAnyDepth(const Bitmap& source, Bitmap& result, IndexOf indexOf) {
  if (source.bitsPerPixel == 32)
    writeIndices<4>(source, result, indexOf);
  else
    writeIndices<3>(source, result, indexOf);
}

// The counting pass noted every pixel's entry, so the output is one table lookup a pixel.
Bitmap fromEntries(const Bitmap& source, const std::vector<Tally>& tallies,
                   const std::uint16_t* entryOfPixel) {
  const Mapping mapping = choosePalette(tallies);
  Bitmap result = emptyIndexed(source, mapping);
  const std::uint8_t* paletteIndexOf = mapping.paletteIndexOf.data();
  const std::size_t outStride = result.stride();
  for (int y = 0; y < source.height; ++y) {
    const std::uint16_t* entries =
        entryOfPixel + static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width);
    std::uint8_t* out = result.pixels.data() + outStride * static_cast<std::size_t>(y);
    for (int x = 0; x < source.width; ++x) out[x] = paletteIndexOf[entries[x]];
  }
  return result;
}

Bitmap fromCoarse(const Bitmap& source, const CoarseHistogram& coarse, const std::vector<Tally>& tallies,
                  int level) {
  const Mapping mapping = choosePalette(tallies);
  Bitmap result = emptyIndexed(source, mapping);
  // Every level-6 colour falls into exactly one tally of this level.
  std::vector<std::uint8_t> indexOfSlot(CoarseHistogram::slots, 0);
  std::vector<std::uint16_t> tallyOfSlot(CoarseHistogram::slots, 0);
  for (std::size_t i = 0; i < tallies.size(); ++i)
    tallyOfSlot[CoarseHistogram::slotOf(tallies[i].colour)] = static_cast<std::uint16_t>(i);
  const Colour mask = maskOfLevel(level);
  for (std::uint32_t slot : coarse.usedSlots()) { // the only slots the pixels reach
    const Colour colour = CoarseHistogram::colourOfSlot(slot) & mask;
    indexOfSlot[slot] = mapping.paletteIndexOf[tallyOfSlot[CoarseHistogram::slotOf(colour)]];
  }
  writeIndicesAnyDepth(source, result, [&](Colour colour, std::size_t) {
    return indexOfSlot[CoarseHistogram::slotOf(colour)];
  });
  return result;
}

} // namespace

Bitmap reduceColours(const Bitmap& image) {
  if ((image.bitsPerPixel != 24 && image.bitsPerPixel != 32) || !image.isValid())
    throw Error("Bitmap image is not valid");
  // Left uninitialised: the counting pass writes each entry before it is read, and
  // an image with too many colours stops after touching only its first pages.
  const std::size_t pixelCount =
      static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
  std::unique_ptr<std::uint16_t[]> entryOfPixel(new std::uint16_t[pixelCount]);
  Histogram histogram;
  // Full precision first: screens rarely hold more than 2049 colours.
  if (countMasked(image, maskOfLevel(0), histogram, entryOfPixel.get()))
    return fromEntries(image, histogram.tallies, entryOfPixel.get());

  // Too many colours: one pass counts level 6, from which every coarser level follows.
  const CoarseHistogram coarse(image);
  if (coarse.distinctColours() <= capacity) {
    // Some level between 1 and 5 may already fit; only a pass at that precision tells.
    for (int level = 1; level < CoarseHistogram::level; ++level)
      if (countMasked(image, maskOfLevel(level), histogram, entryOfPixel.get()))
        return fromEntries(image, histogram.tallies, entryOfPixel.get());
  }
  entryOfPixel.reset();
  // 11 bits remain after 13 levels, so at most 2048 colours: some level fits by then.
  for (int level = CoarseHistogram::level;; ++level)
    if (auto tallies = coarse.talliesOfLevel(level)) return fromCoarse(image, coarse, *tallies, level);
}

} // namespace glimor::imaging
