#pragma once
// Generated pictures for the imaging benchmarks, each kind as a capture would
// give it (32 bits per pixel, bottom-up rows).
#include "imaging/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace glimor::bench {

using imaging::Bitmap;

inline void put(Bitmap& b, int x, int y, std::uint32_t rgb) {
  std::uint8_t* p = b.pixels.data() + b.stride() * static_cast<std::size_t>(b.height - 1 - y) + x * 4u;
  p[0] = static_cast<std::uint8_t>(rgb), p[1] = static_cast<std::uint8_t>(rgb >> 8),
  p[2] = static_cast<std::uint8_t>(rgb >> 16), p[3] = 0;
}

inline std::uint32_t blend(std::uint32_t a, std::uint32_t b, int level, int levels) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<std::uint32_t>(ca + (cb - ca) * level / levels) << shift;
  }
  return out;
}

inline Bitmap blank(int width, int height) {
  Bitmap b;
  b.width = width, b.height = height, b.bitsPerPixel = 32;
  b.pixels.assign(b.stride() * static_cast<std::size_t>(height), 0);
  return b;
}

// A desktop: flat background, windows with gradient title bars, buttons, and
// lines of anti-aliased "text" (glyph-like strokes with 16 coverage levels).
inline Bitmap screenLike(int width, int height) {
  Bitmap b = blank(width, height);
  std::mt19937 random(1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(b, x, y, 0x2D4A6E);
  const std::uint32_t inks[] = {0x000000, 0x1F3F7F, 0x7F1F1F, 0x404040};
  for (int w = 0; w < 6; ++w) {
    const int left = static_cast<int>(random() % (width / 2)),
              top = static_cast<int>(random() % (height / 2));
    const int right = std::min(width, left + width / 3 + static_cast<int>(random() % (width / 4)));
    const int bottom = std::min(height, top + height / 3 + static_cast<int>(random() % (height / 4)));
    const std::uint32_t paper = w % 2 ? 0xFFFFFF : 0xF0F0F0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        if (y < top + 30)
          put(b, x, y, blend(0x0A246A, 0xA6CAF0, x - left, right - left)); // title bar
        else
          put(b, x, y, x == left || x == right - 1 || y == bottom - 1 ? 0x808080 : paper);
      }
    const std::uint32_t ink = inks[w % 4];
    for (int line = top + 40; line + 14 < bottom; line += 18) {
      for (int x = left + 8; x + 8 < right - 40; x += 7) {
        if (random() % 6 == 0) continue; // spaces between words
        const unsigned glyph = random();
        for (int gy = 0; gy < 12; ++gy)
          for (int gx = 0; gx < 6; ++gx) {
            const bool stroke = (glyph >> ((gy / 3) * 3 + gx / 2)) & 1;
            if (!stroke) continue;
            const int coverage = gx == 0 || gx == 5 || gy == 0 || gy == 11 ? 4 + (gx * 3 + gy) % 9 : 16;
            put(b, x + gx, line + gy, blend(paper, ink, coverage, 16));
          }
      }
    }
    for (int k = 0; k < 3; ++k) // buttons
      for (int y = bottom - 34; y < bottom - 10 && y > top + 30; ++y)
        for (int x = right - 90 * (k + 1); x < right - 90 * k - 10 && x > left; ++x)
          put(b, x, y, blend(0xE1E1E1, 0xADADAD, y - (bottom - 34), 24));
  }
  return b;
}

// A photograph: smooth colour fields with fine grain, well over 100 000 colours.
inline Bitmap photoLike(int width, int height) {
  Bitmap b = blank(width, height);
  std::mt19937 random(2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double fx = x / static_cast<double>(width), fy = y / static_cast<double>(height);
      const double r = 128 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(fx * 40 * fy);
      const double g = 120 + 80 * std::cos(fx * 5 - fy * 6) + 25 * std::sin(fy * 31);
      const double bl = 110 + 100 * std::sin(fx * 3 * fy + 1) * std::cos(fy * 4);
      const auto channel = [&](double v) {
        const int grain = static_cast<int>(random() % 9) - 4;
        return static_cast<std::uint32_t>(std::clamp(static_cast<int>(v) + grain, 0, 255));
      };
      put(b, x, y, channel(r) << 16 | channel(g) << 8 | channel(bl));
    }
  return b;
}

} // namespace glimor::bench
