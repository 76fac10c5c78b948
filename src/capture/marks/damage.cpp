#include "capture/marks/damage.h"

#include <algorithm>

namespace glimor::capture::marks {
namespace {

// Band of a row, rounding down for rows above the picture too.
int bandOf(int y) {
  return y >= 0 ? y / Damage::bandRows : -((-(y + 1)) / Damage::bandRows) - 1;
}

} // namespace

void Damage::addSpan(int y, int x0, int x1) {
  if (x0 >= x1) return;
  auto [it, added] = bands_.try_emplace(bandOf(y), Band{y, y + 1, x0, x1});
  if (added) return;
  Band& band = it->second;
  band.top = std::min(band.top, y);
  band.bottom = std::max(band.bottom, y + 1);
  band.left = std::min(band.left, x0);
  band.right = std::max(band.right, x1);
}

void Damage::addRect(const Rect& rect) {
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  // One span per band is enough: a band keeps only its row and column extent.
  for (int band = bandOf(rect.top); band <= bandOf(rect.bottom - 1); ++band) {
    const long long bandTop = static_cast<long long>(band) * bandRows;
    const int top = static_cast<int>(std::max<long long>(rect.top, bandTop));
    const int last = static_cast<int>(std::min<long long>(rect.bottom, bandTop + bandRows) - 1);
    addSpan(top, rect.left, rect.right);
    addSpan(last, rect.left, rect.right);
  }
}

void Damage::add(const Damage& other) {
  for (const auto& [index, band] : other.bands_) {
    addSpan(band.top, band.left, band.right);
    addSpan(band.bottom - 1, band.left, band.right);
  }
}

std::vector<Rect> Damage::rects() const {
  std::vector<Rect> rects;
  for (const auto& [index, band] : bands_) {
    // Bands that touch and span the same columns (a filled block) become one rectangle.
    if (!rects.empty() && rects.back().bottom == band.top && rects.back().left == band.left &&
        rects.back().right == band.right)
      rects.back().bottom = band.bottom;
    else
      rects.push_back(Rect{band.left, band.top, band.right, band.bottom});
  }
  return rects;
}

} // namespace glimor::capture::marks
