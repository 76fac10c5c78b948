#pragma once
#include "imaging/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glimor::imaging {

// Where the pixel rows of a BMP file lie and how they read, from its headers alone.
struct BmpLayout {
  int width = 0, height = 0;
  int bitsPerPixel = 0; // 1, 2, 4, 8 (palette), 16 (5-5-5), 24 or 32
  bool topDown = false;
  std::size_t pixelOffset = 0;        // the first row's first byte
  std::size_t imageSize = 0;          // the rows' bytes: the image ends at pixelOffset + imageSize
  std::vector<std::uint32_t> palette; // 0x00RRGGBB, 2^bitsPerPixel entries for depths up to 8

  std::size_t stride() const { return Bitmap::strideOf(width, bitsPerPixel); }
};

// Checks the headers of an uncompressed BMP file at any depth a display has (rows
// bottom-up or top-down) and that all its rows are present; reads no pixel. Anything
// else, or a file that is cut short or contradicts itself, throws Error with a message
// that says what is wrong. Sizes are limited to 65535 pixels a side, the most a GIF
// file can describe.
BmpLayout readBmpLayout(std::span<const std::uint8_t> file);

// The file read by readBmpLayout into a bottom-up Bitmap of the same depth.
Bitmap decodeBmp(std::span<const std::uint8_t> file);

} // namespace glimor::imaging
