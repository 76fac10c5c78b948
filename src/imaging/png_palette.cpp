#include "imaging/png_palette.h"

#include "imaging/colour_histogram.h"

namespace glimor::imaging::png {
namespace {

constexpr std::size_t largestPalette = 256;

template <int BytesPerPixel>
std::optional<Palette> indexPixels(const Bitmap& image, int first, int end, std::uint8_t* out) {
  Palette palette;
  histogram::ColourIndex index;
  // Screens have long runs of one colour: the previous pixel's answer is kept.
  // Colours have 24 bits, so the first pixel never matches this one.
  histogram::Colour last = 0xFF000000;
  std::uint8_t lastIndex = 0;
  for (int y = first; y < end; ++y) {
    // Rows are stored bottom-up.
    const std::uint8_t* pixel =
        image.pixels.data() + image.stride() * static_cast<std::size_t>(image.height - 1 - y);
    for (int x = 0; x < image.width; ++x, pixel += BytesPerPixel) {
      const histogram::Colour colour = histogram::colourAt<BytesPerPixel>(pixel);
      if (colour != last) {
        const auto next = static_cast<std::uint32_t>(palette.size());
        const std::uint32_t entry = index.findOrAdd(colour, next);
        if (entry == next) {
          if (next == largestPalette) return std::nullopt;
          palette.push_back(colour);
        }
        last = colour;
        lastIndex = static_cast<std::uint8_t>(entry);
      }
      *out++ = lastIndex;
    }
  }
  return palette;
}

} // namespace

std::optional<Palette> indexColours(const Bitmap& image, int first, int end, std::uint8_t* out) {
  if (image.bitsPerPixel == 32) return indexPixels<4>(image, first, end, out);
  return indexPixels<3>(image, first, end, out);
}

std::optional<Palette> mergePalettes(const Palette& upper, const Palette& lower, IndexMap& lowerMap) {
  Palette merged = upper;
  histogram::ColourIndex index;
  for (std::size_t i = 0; i < upper.size(); ++i) index.findOrAdd(upper[i], static_cast<std::uint32_t>(i));
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const auto next = static_cast<std::uint32_t>(merged.size());
    const std::uint32_t entry = index.findOrAdd(lower[i], next);
    if (entry == next) {
      if (next == largestPalette) return std::nullopt;
      merged.push_back(lower[i]);
    }
    lowerMap[i] = static_cast<std::uint8_t>(entry);
  }
  return merged;
}

int bitDepthFor(std::size_t colours) {
  return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

void packIndices(const std::uint8_t* indices, int width, int bitDepth, const IndexMap& map,
                 std::uint8_t* out) {
  if (bitDepth == 8) {
    for (int x = 0; x < width; ++x) out[x] = map[indices[x]];
    return;
  }
  const int perByte = 8 / bitDepth;
  for (int x = 0; x < width; x += perByte) {
    unsigned byte = 0;
    for (int i = 0; i < perByte; ++i) byte = byte << bitDepth | (x + i < width ? map[indices[x + i]] : 0u);
    *out++ = static_cast<std::uint8_t>(byte);
  }
}

} // namespace glimor::imaging::png
