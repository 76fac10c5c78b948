#pragma once
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace glimor::imaging {

// A picture as the display holds it: rows bottom-up (the bottom row of the
// picture first in memory), each row padded to a multiple of 4 bytes.
struct Bitmap {
  int width = 0, height = 0;
  int bitsPerPixel = 32;              // 32, 24, 16 (5-5-5) or <= 8 (palette)
  std::vector<std::uint32_t> palette; // 0x00RRGGBB, 2^bpp entries when bitsPerPixel <= 8
  std::vector<std::uint8_t> pixels;   // bottom row first

  std::size_t stride() const { return strideOf(width, bitsPerPixel); }
  static std::size_t strideOf(int width, int bitsPerPixel) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) * 4;
  }

  bool hasPixels() const { return width > 0 && height > 0; }
  // True when the depth is one a display can have and the buffers hold the whole picture.
  bool isValid() const;
};

// The 24-bit image (blue, green, red) from 32, 24, 16 (5-5-5) or palette input.
// Throws Error("Bitmap image is not valid") for a bitmap that is not isValid().
Bitmap toBgr24(const Bitmap& source);

} // namespace glimor::imaging
