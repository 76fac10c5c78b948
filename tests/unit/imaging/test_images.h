#pragma once
// Small pictures for the imaging tests, built from a function of (x, y) with y
// counted from the top, so that a test reads like the picture it means.
#include "imaging/bitmap.h"

#include <cstdint>
#include <functional>
#include <random>

namespace glimor::imaging::testing {

using Rgb = std::uint32_t; // 0x00RRGGBB

inline std::uint8_t* pixelAt(Bitmap& bitmap, int x, int yFromTop) {
  const std::size_t row = static_cast<std::size_t>(bitmap.height - 1 - yFromTop);
  return bitmap.pixels.data() + row * bitmap.stride() +
         static_cast<std::size_t>(x) * (bitmap.bitsPerPixel / 8);
}

inline Rgb rgbAt(const Bitmap& bitmap, int x, int yFromTop) {
  const std::uint8_t* p = pixelAt(const_cast<Bitmap&>(bitmap), x, yFromTop);
  return static_cast<Rgb>(p[2]) << 16 | static_cast<Rgb>(p[1]) << 8 | p[0];
}

// A 24- or 32-bit bitmap; padding bytes and the unused fourth byte are 0.
inline Bitmap makeImage(int width, int height, const std::function<Rgb(int x, int y)>& colourAt,
                        int bitsPerPixel = 24) {
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = bitsPerPixel;
  bitmap.pixels.assign(bitmap.stride() * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb rgb = colourAt(x, y);
      std::uint8_t* p = pixelAt(bitmap, x, y);
      p[0] = static_cast<std::uint8_t>(rgb);
      p[1] = static_cast<std::uint8_t>(rgb >> 8);
      p[2] = static_cast<std::uint8_t>(rgb >> 16);
    }
  return bitmap;
}

inline constexpr Rgb red = 0xFF0000, blue = 0x0000FF;

// A red "F" on blue, 7 x 9 with odd row padding: swapped channels and flipped rows
// or columns all show.
inline Bitmap redFOnBlue(int bitsPerPixel = 24) {
  return makeImage(
      7, 9,
      [](int x, int y) {
        const bool stem = x == 1 && y >= 1 && y <= 7;
        const bool top = y == 1 && x >= 1 && x <= 5;
        const bool middle = y == 4 && x >= 1 && x <= 4;
        return stem || top || middle ? red : blue;
      },
      bitsPerPixel);
}

inline Bitmap randomImage(int width, int height, std::uint32_t seed, Rgb mask = 0xFFFFFF) {
  std::mt19937 random(seed);
  return makeImage(width, height, [&](int, int) { return static_cast<Rgb>(random()) & mask; });
}

} // namespace glimor::imaging::testing
