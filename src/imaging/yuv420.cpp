#include "imaging/yuv420.h"

#include <algorithm>

namespace glimor::imaging {
namespace {

// BT.709 weights in 16-bit fixed point, scaled to the limited ranges (219 steps of luma,
// 224 of chroma); chroma is computed from sums of four pixels, hence the extra 2 bits.
constexpr double kr = 0.2126, kb = 0.0722, kg = 1 - kr - kb;
constexpr int fixed(double value) {
  return static_cast<int>(value * 65536 + (value < 0 ? -0.5 : 0.5));
}
constexpr int yr = fixed(kr * 219 / 255), yg = fixed(kg * 219 / 255), yb = fixed(kb * 219 / 255);
constexpr double cbScale = 224 / 255.0 / (2 * (1 - kb)), crScale = 224 / 255.0 / (2 * (1 - kr));
constexpr int ur = fixed(-kr * cbScale), ug = fixed(-kg * cbScale), ub = fixed((1 - kb) * cbScale);
constexpr int vr = fixed((1 - kr) * crScale), vg = fixed(-kg * crScale), vb = fixed(-kb * crScale);

std::uint8_t clampByte(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

} // namespace

void rgbToYuv420Bt709(const std::uint32_t* pixels, int width, int height, const Yuv420Planes& out) {
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * width;
    std::uint8_t* luma = out.y + y * out.yStride;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = row[x];
      const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
      luma[x] = static_cast<std::uint8_t>(16 + ((yr * r + yg * g + yb * b + 32768) >> 16));
    }
  }
  for (int y = 0; y < (height + 1) / 2; ++y) {
    const std::uint32_t* top = pixels + static_cast<std::size_t>(2 * y) * width;
    const std::uint32_t* bottom = 2 * y + 1 < height ? top + width : top;
    std::uint8_t* u = out.u + y * out.uStride;
    std::uint8_t* v = out.v + y * out.vStride;
    auto block = [&](int x, int left, int right) {
      int r = 0, g = 0, b = 0;
      for (const std::uint32_t c : {top[left], top[right], bottom[left], bottom[right]}) {
        r += (c >> 16) & 0xFF;
        g += (c >> 8) & 0xFF;
        b += c & 0xFF;
      }
      // Sums of four: the rounding term and the shift grow by 2 bits.
      u[x] = clampByte(128 + ((ur * r + ug * g + ub * b + (1 << 17)) >> 18));
      v[x] = clampByte(128 + ((vr * r + vg * g + vb * b + (1 << 17)) >> 18));
    };
    // Whole blocks in a loop of their own, which the compiler vectorises; an odd last column after.
    for (int x = 0; x < width / 2; ++x) block(x, 2 * x, 2 * x + 1);
    if (width % 2) block(width / 2, width - 1, width - 1);
  }
}

} // namespace glimor::imaging
