#include "imaging/bitmap.h"

#include "platform/error.h"

#include <cstring>

namespace glimor::imaging {
namespace {

bool isPaletteDepth(int bitsPerPixel) {
  return bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

// 5 bits to 8 by repeating the top bits in the new low ones, so 31 becomes 255 and white stays white.
std::uint8_t expand5(unsigned value) {
  return static_cast<std::uint8_t>((value << 3) | (value >> 2));
}

void storeBgr(std::uint8_t* out, std::uint32_t rgb) {
  out[0] = static_cast<std::uint8_t>(rgb);
  out[1] = static_cast<std::uint8_t>(rgb >> 8);
  out[2] = static_cast<std::uint8_t>(rgb >> 16);
}

void convertRow(const Bitmap& source, const std::uint8_t* in, std::uint8_t* out) {
  const int width = source.width;
  switch (source.bitsPerPixel) {
  case 32:
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    return;
  case 24:
    std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
    return;
  case 16:
    for (int x = 0; x < width; ++x, in += 2, out += 3) {
      const unsigned word = in[0] | (in[1] << 8); // bit 15 unused, then 5 bits each of red, green, blue
      out[0] = expand5(word & 31);
      out[1] = expand5((word >> 5) & 31);
      out[2] = expand5((word >> 10) & 31);
    }
    return;
  default: {
    const int bpp = source.bitsPerPixel;
    const int perByte = 8 / bpp;
    const unsigned mask = (1u << bpp) - 1;
    for (int x = 0; x < width; ++x, out += 3) {
      // The leftmost pixel sits in the highest bits of its byte.
      const int shift = 8 - bpp * (x % perByte + 1);
      const unsigned index = (in[x / perByte] >> shift) & mask;
      storeBgr(out, index < source.palette.size() ? source.palette[index] : 0);
    }
  }
  }
}

} // namespace

bool Bitmap::isValid() const {
  if (width < 0 || height < 0) return false;
  if (bitsPerPixel != 32 && bitsPerPixel != 24 && bitsPerPixel != 16 && !isPaletteDepth(bitsPerPixel))
    return false;
  return pixels.size() >= stride() * static_cast<std::size_t>(height);
}

Bitmap toBgr24(const Bitmap& source) {
  if (!source.isValid()) throw Error("Bitmap image is not valid");
  Bitmap result;
  result.width = source.width;
  result.height = source.height;
  result.bitsPerPixel = 24;
  const std::size_t inStride = source.stride(), outStride = result.stride();
  result.pixels.assign(outStride * static_cast<std::size_t>(source.height), 0);
  for (int y = 0; y < source.height; ++y) {
    convertRow(source, source.pixels.data() + inStride * static_cast<std::size_t>(y),
               result.pixels.data() + outStride * static_cast<std::size_t>(y));
  }
  return result;
}

} // namespace glimor::imaging
