#include "imaging/png_palette.h"

namespace glimor::imaging::png {
namespace {

constexpr std::size_t largestPalette = 256;

const std::uint8_t* rowOf(const Bitmap& image, int y) { // rows are stored bottom-up
  return image.pixels.data() + image.stride() * static_cast<std::size_t>(image.height - 1 - y);
}

// Calls found(colour) for the first pixel of each run of one colour in the row:
// screens are mostly such runs, and a colour seen just before needs no look-up.
// Returns false as soon as found does.
template <int BytesPerPixel, typename Found> bool forEachRun(const Bitmap& image, int y, Found found) {
  const std::uint8_t* pixel = rowOf(image, y);
  histogram::Colour last = 0xFF000000; // colours have 24 bits: never a match
  for (int x = 0; x < image.width; ++x, pixel += BytesPerPixel) {
    const histogram::Colour colour = histogram::colourAt<BytesPerPixel>(pixel);
    if (colour != last && !found(colour, x)) return false;
    last = colour;
  }
  return true;
}

template <int BytesPerPixel> std::optional<Palette> findColours(const Bitmap& image, int first, int end) {
  Palette palette;
  histogram::ColourIndex index;
  const auto add = [&](histogram::Colour colour, int) {
    const auto next = static_cast<std::uint32_t>(palette.size());
    if (index.findOrAdd(colour, next) != next) return true;
    if (next == largestPalette) return false;
    palette.push_back(colour);
    return true;
  };
  for (int y = first; y < end; ++y)
    if (!forEachRun<BytesPerPixel>(image, y, add)) return std::nullopt;
  return palette;
}

template <int BytesPerPixel>
void indexRow(const Bitmap& image, int y, histogram::ColourIndex& index, std::uint8_t* out) {
  std::uint8_t entry = 0;
  int from = 0;
  forEachRun<BytesPerPixel>(image, y, [&](histogram::Colour colour, int x) {
    std::fill(out + from, out + x, entry);
    entry = static_cast<std::uint8_t>(index.findOrAdd(colour, 0));
    from = x;
    return true;
  });
  std::fill(out + from, out + image.width, entry);
}

} // namespace

std::optional<Palette> findPalette(const Bitmap& image, int first, int end) {
  if (image.bitsPerPixel == 32) return findColours<4>(image, first, end);
  return findColours<3>(image, first, end);
}

std::optional<Palette> mergePalettes(const Palette& upper, const Palette& lower) {
  Palette merged = upper;
  histogram::ColourIndex index;
  for (std::size_t i = 0; i < upper.size(); ++i) index.findOrAdd(upper[i], static_cast<std::uint32_t>(i));
  for (const std::uint32_t colour : lower) {
    const auto next = static_cast<std::uint32_t>(merged.size());
    if (index.findOrAdd(colour, next) != next) continue;
    if (next == largestPalette) return std::nullopt;
    merged.push_back(colour);
  }
  return merged;
}

int bitDepthFor(std::size_t colours) {
  return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

RowIndexer::RowIndexer(const Bitmap& image, const Palette& palette)
    : image(image), indices(static_cast<std::size_t>(image.width)) {
  for (std::size_t i = 0; i < palette.size(); ++i) index.findOrAdd(palette[i], static_cast<std::uint32_t>(i));
}

void RowIndexer::packRow(int y, int bitDepth, std::uint8_t* out) {
  std::uint8_t* row = bitDepth == 8 ? out : indices.data();
  if (image.bitsPerPixel == 32)
    indexRow<4>(image, y, index, row);
  else
    indexRow<3>(image, y, index, row);
  if (bitDepth == 8) return;
  const int width = image.width, perByte = 8 / bitDepth;
  for (int x = 0; x < width; x += perByte) {
    unsigned byte = 0;
    for (int i = 0; i < perByte; ++i) byte = byte << bitDepth | (x + i < width ? row[x + i] : 0u);
    *out++ = static_cast<std::uint8_t>(byte);
  }
}

} // namespace glimor::imaging::png
