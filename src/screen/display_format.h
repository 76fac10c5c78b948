#pragma once
#include <cstdint>
#include <vector>

namespace glimor::screen {

// How the display holds its pixels: the depth, and for 8 bits or fewer the
// colours its pixel values stand for.
struct DisplayFormat {
  int bitsPerPixel = 32;
  std::vector<std::uint32_t> palette; // 0x00RRGGBB, 2^bitsPerPixel entries when bitsPerPixel <= 8
};

} // namespace glimor::screen
