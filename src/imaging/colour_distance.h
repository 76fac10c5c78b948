#pragma once
#include <cstdint>

namespace glimor::imaging {

// Squared distance between two colours 0x00RRGGBB in RGB space (the high byte is ignored).
inline int squaredDistance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return sum;
}

} // namespace glimor::imaging
