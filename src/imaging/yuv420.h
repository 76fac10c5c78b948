#pragma once
#include <cstddef>
#include <cstdint>

namespace glimor::imaging {

// Planes of a Y'CbCr 4:2:0 image: chroma planes are (width+1)/2 by (height+1)/2.
struct Yuv420Planes {
  std::uint8_t* y;
  std::uint8_t* u;
  std::uint8_t* v;
  std::ptrdiff_t yStride, uStride, vStride;
};

// Converts width*height colours 0x00RRGGBB (top row first) to limited-range BT.709
// Y'CbCr: luma per pixel, chroma from the mean of each 2x2 block (centred siting);
// the last column or row of an odd size stands for its missing neighbours.
void rgbToYuv420Bt709(const std::uint32_t* pixels, int width, int height, const Yuv420Planes& out);

} // namespace glimor::imaging
