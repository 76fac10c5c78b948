#include "capture/marks/paint.h"

#include <algorithm>
#include <climits>

namespace glimor::capture::marks {
namespace {

// x / 255 rounded, for x up to 255 * 255.
constexpr unsigned div255(unsigned x) {
  return (x + 128 + ((x + 128) >> 8)) >> 8;
}

constexpr unsigned channel(std::uint32_t pixel, int shift) {
  return (pixel >> shift) & 0xFF;
}

// The pixel moved towards `target` (a colour per channel) by alpha.
inline std::uint32_t mix(std::uint32_t pixel, unsigned tr, unsigned tg, unsigned tb, unsigned alpha) {
  const unsigned keep = 255 - alpha;
  return div255(channel(pixel, 16) * keep + tr * alpha) << 16 |
         div255(channel(pixel, 8) * keep + tg * alpha) << 8 | div255(channel(pixel, 0) * keep + tb * alpha);
}

void blendOver(std::uint32_t* pixels, const std::uint8_t* alpha, int count, std::uint32_t colour) {
  const unsigned r = channel(colour, 16), g = channel(colour, 8), b = channel(colour, 0);
  for (int i = 0; i < count; ++i)
    if (alpha[i]) pixels[i] = mix(pixels[i], r, g, b, alpha[i]);
}

// A marker's ink filters the light: each channel is multiplied by the colour's.
void blendMultiply(std::uint32_t* pixels, const std::uint8_t* alpha, int count, std::uint32_t colour) {
  const unsigned r = channel(colour, 16), g = channel(colour, 8), b = channel(colour, 0);
  for (int i = 0; i < count; ++i) {
    if (!alpha[i]) continue;
    const std::uint32_t p = pixels[i];
    pixels[i] =
        mix(p, div255(channel(p, 16) * r), div255(channel(p, 8) * g), div255(channel(p, 0) * b), alpha[i]);
  }
}

int clampToInt(long long v) {
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

} // namespace

Rect intersection(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.left >= r.right || r.top >= r.bottom) return Rect{};
  return r;
}

void paintShape(Picture& picture, const Rect& area, const Shape& shape, std::uint32_t colour, Blend blend,
                Damage& damage) {
  coverShape(shape, area, [&](int y, int x0, int x1, const std::uint8_t* alpha) {
    std::uint32_t* pixels = picture.row(y) + x0;
    if (blend == Blend::Over)
      blendOver(pixels, alpha, x1 - x0, colour);
    else
      blendMultiply(pixels, alpha, x1 - x0, colour);
    damage.addSpan(y, x0, x1);
  });
}

void paintGlyphs(Picture& picture, const Rect& area, const platform::GlyphMask& glyphs, Point topLeft,
                 std::uint32_t colour, Damage& damage) {
  if (glyphs.empty() || glyphs.coverage.size() < static_cast<std::size_t>(glyphs.width) * glyphs.height)
    return;
  const Rect onPicture =
      intersection(area, Rect{topLeft.x, topLeft.y, clampToInt(1LL * topLeft.x + glyphs.width),
                              clampToInt(1LL * topLeft.y + glyphs.height)});
  for (int y = onPicture.top; y < onPicture.bottom; ++y) {
    const std::uint8_t* mask =
        glyphs.coverage.data() +
        static_cast<std::size_t>(y - topLeft.y) * static_cast<std::size_t>(glyphs.width) +
        (onPicture.left - topLeft.x);
    blendOver(picture.row(y) + onPicture.left, mask, onPicture.width(), colour);
    damage.addSpan(y, onPicture.left, onPicture.right);
  }
}

void fillRect(Picture& picture, const Rect& area, const Rect& rect, std::uint32_t colour, Damage& damage) {
  const Rect r = intersection(area, rect);
  for (int y = r.top; y < r.bottom; ++y) std::fill(picture.row(y) + r.left, picture.row(y) + r.right, colour);
  damage.addRect(r);
}

void paintOutline(Picture& picture, const Rect& area, const Rect& rect, int thickness, std::uint32_t colour,
                  Damage& damage) {
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  const long long t = std::max(thickness, 1);
  // Top and bottom edges span the full width; the sides fill the rows between them. A rectangle
  // thinner than two edges is filled.
  const int topEnd = clampToInt(std::min<long long>(rect.bottom, rect.top + t));
  const int bottomStart = clampToInt(std::max<long long>(topEnd, rect.bottom - t));
  const int leftEnd = clampToInt(std::min<long long>(rect.right, rect.left + t));
  const int rightStart = clampToInt(std::max<long long>(leftEnd, rect.right - t));
  fillRect(picture, area, Rect{rect.left, rect.top, rect.right, topEnd}, colour, damage);
  fillRect(picture, area, Rect{rect.left, bottomStart, rect.right, rect.bottom}, colour, damage);
  fillRect(picture, area, Rect{rect.left, topEnd, leftEnd, bottomStart}, colour, damage);
  fillRect(picture, area, Rect{rightStart, topEnd, rect.right, bottomStart}, colour, damage);
}

} // namespace glimor::capture::marks
