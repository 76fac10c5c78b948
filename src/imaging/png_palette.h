#pragma once
#include "imaging/bitmap.h"
#include "imaging/colour_histogram.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The palette form of pictures with at most 256 colours: the colours are found
// per band of rows (one band a core) and merged, then each row is indexed.
namespace glimor::imaging::png {

using Palette = std::vector<std::uint32_t>; // 0x00RRGGBB, in the order first met

// The colours of picture rows [first, end) (counted from the top) of a 24- or
// 32-bit bitmap, or nothing when there are more than 256.
std::optional<Palette> findPalette(const Bitmap& image, int first, int end);

// `upper` followed by the colours of `lower` it lacks; nothing when the two have
// more than 256 colours together.
std::optional<Palette> mergePalettes(const Palette& upper, const Palette& lower);

// The least of PNG's depths 1, 2, 4 and 8 that holds `colours` indices.
int bitDepthFor(std::size_t colours);

// Writes the palette indices of picture rows, packed as PNG stores them.
class RowIndexer {
public:
  RowIndexer(const Bitmap& image, const Palette& palette);
  // Row y (counted from the top) at `bitDepth` bits an index: the leftmost pixel in
  // the highest bits of its byte, the last byte's unused bits zero. Every colour of
  // the row must be in the palette.
  void packRow(int y, int bitDepth, std::uint8_t* out);

private:
  const Bitmap& image;
  histogram::ColourIndex index;
  std::vector<std::uint8_t> indices; // of one row
};

} // namespace glimor::imaging::png
