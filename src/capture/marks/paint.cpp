#include "capture/marks/paint.h"

#include <algorithm>
#include <climits>
#include <cstring>

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

// What a covered pixel's channels become at full coverage, looked up per channel value: the
// colour itself for paint; for a marker, whose ink filters the light, the value times the colour's.
class Ink {
public:
  Ink(std::uint32_t colour, Blend blend) {
    for (int c = 0; c < 3; ++c) {
      const unsigned ink = channel(colour, 16 - 8 * c);
      for (unsigned v = 0; v < 256; ++v)
        full_[c][v] = static_cast<std::uint8_t>(blend == Blend::Over ? ink : div255(v * ink));
    }
  }

  void apply(std::uint32_t* pixels, const std::uint8_t* alpha, int count) const {
    for (int i = 0; i < count; ++i) {
      if (!alpha[i]) continue;
      const std::uint32_t p = pixels[i];
      const unsigned r = full_[0][channel(p, 16)], g = full_[1][channel(p, 8)], b = full_[2][channel(p, 0)];
      pixels[i] = alpha[i] == 255 ? r << 16 | g << 8 | b : mix(p, r, g, b, alpha[i]);
    }
  }

private:
  std::uint8_t full_[3][256];
};

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
  const Ink ink(colour, blend);
  coverShape(shape, area, [&](int y, int x0, int x1, const std::uint8_t* alpha) {
    // Rows lie a screen's width apart, so each span starts cold; the next row's span is about
    // here too: asking for it now halves the time of a long stroke on a 4K picture.
    if (y + 1 < area.bottom)
      for (const std::uint32_t *next = picture.row(y + 1) + x0, *end = picture.row(y + 1) + x1; next < end;
           next += 16)
        __builtin_prefetch(next, 1);
    ink.apply(picture.row(y) + x0, alpha, x1 - x0);
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
  const Ink ink(colour, Blend::Over);
  for (int y = onPicture.top; y < onPicture.bottom; ++y) {
    const std::uint8_t* mask =
        glyphs.coverage.data() +
        static_cast<std::size_t>(y - topLeft.y) * static_cast<std::size_t>(glyphs.width) +
        (onPicture.left - topLeft.x);
    ink.apply(picture.row(y) + onPicture.left, mask, onPicture.width());
    damage.addSpan(y, onPicture.left, onPicture.right);
  }
}

void fillRect(Picture& picture, const Rect& area, const Rect& rect, std::uint32_t colour, Damage& damage) {
  const Rect r = intersection(area, rect);
  if (r.width() <= 0) return;
  // The first row filled pixel by pixel, the others copied from it: memcpy moves whole vectors.
  std::uint32_t* first = picture.row(r.top) + r.left;
  std::fill(first, first + r.width(), colour);
  for (int y = r.top + 1; y < r.bottom; ++y)
    std::memcpy(picture.row(y) + r.left, first, static_cast<std::size_t>(r.width()) * sizeof *first);
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
