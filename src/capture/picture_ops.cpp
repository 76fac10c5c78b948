#include "capture/picture_ops.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace glimor::capture {
namespace {

// Saturating add for every possible byte, built once per call: the loop below
// then does one table look-up per channel.
std::array<std::uint8_t, 256> brightnessTable(int delta) {
  std::array<std::uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) table[v] = static_cast<std::uint8_t>(std::clamp(v + delta, 0, 255));
  return table;
}

Rect clipped(const Rect& r, const Picture& p) {
  return Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, p.width),
              std::min(r.bottom, p.height)};
}

// Windows' cosmetic dashed pen: 18 pixels drawn, 6 pixels of gap.
constexpr int dashOn = 18, dashPeriod = 24;
constexpr std::uint32_t black = 0x000000, white = 0xFFFFFF;

void plot(Picture& p, int x, int y, int step) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
  p.at(x, y) = step % dashPeriod < dashOn ? black : white;
}

// A horizontal or vertical line from (x0, y0) towards (x1, y1), without its end pixel.
void dashedLine(Picture& p, int x0, int y0, int x1, int y1) {
  int dx = (x1 > x0) - (x1 < x0), dy = (y1 > y0) - (y1 < y0);
  int length = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
  for (int i = 0; i < length; ++i) plot(p, x0 + i * dx, y0 + i * dy, i);
}

} // namespace

void adjustBrightness(Picture& picture, int delta) {
  const auto table = brightnessTable(delta);
  for (int y = 0; y < picture.height; ++y) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(picture.row(y));
    auto* end = bytes + static_cast<std::size_t>(picture.width) * 4;
    for (; bytes != end; bytes += 4) {
      bytes[0] = table[bytes[0]];
      bytes[1] = table[bytes[1]];
      bytes[2] = table[bytes[2]];
    }
  }
}

void copyRect(const Picture& source, Picture& target, const Rect& rect) {
  Rect r = clipped(clipped(rect, source), target);
  if (r.width() <= 0 || r.height() <= 0) return;
  for (int y = r.top; y < r.bottom; ++y)
    std::memcpy(target.row(y) + r.left, source.row(y) + r.left, static_cast<std::size_t>(r.width()) * 4);
}

Picture cropOf(const Picture& picture, const Rect& rect) {
  Picture crop(std::abs(rect.width()), std::abs(rect.height()));
  Rect r = clipped(rect, picture);
  for (int y = r.top; y < r.bottom; ++y)
    std::memcpy(crop.row(y - rect.top) + (r.left - rect.left), picture.row(y) + r.left,
                static_cast<std::size_t>(std::max(r.width(), 0)) * 4);
  return crop;
}

void wipe(Picture& picture) {
  if (!picture.pixels.empty()) {
    std::memset(picture.pixels.data(), 0, picture.pixels.size() * sizeof picture.pixels[0]);
    // The zeroes are about to be freed, which would let the compiler drop them as dead stores.
    asm volatile("" : : "r"(picture.pixels.data()) : "memory");
  }
  std::vector<std::uint32_t>().swap(picture.pixels);
  picture.width = picture.height = 0;
}

std::vector<Rect> rubberBandLines(int left, int top, int x, int y) {
  int x0 = std::min(left, x), x1 = std::max(left, x) + 1, y0 = std::min(top, y), y1 = std::max(top, y) + 1;
  return {{left, y0, left + 1, y1}, {x, y0, x + 1, y1}, {x0, top, x1, top + 1}, {x0, y, x1, y + 1}};
}

void drawRubberBand(Picture& p, int left, int top, int x, int y) {
  dashedLine(p, left, top, left, y);
  dashedLine(p, left, top, x, top);
  dashedLine(p, x, y, x, top);
  dashedLine(p, x, y, left, y);
}

} // namespace glimor::capture
