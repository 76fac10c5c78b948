#include "capture/marks/damage.h"

#include <algorithm>

namespace glimor::capture::marks {
namespace {

// Band of a row, rounding down for rows above the picture too.
int bandOf(int y) {
  return y >= 0 ? y / Damage::bandRows : -((-(y + 1)) / Damage::bandRows) - 1;
}

// Runs closer than this are kept as one: restoring a short gap costs less than another rectangle.
constexpr int joinGap = 64;

} // namespace

void Damage::addRun(int band, const Run& run) {
  std::vector<Run>& runs = bands_[band];
  // The first run that this one reaches or follows closely, then every later one it now reaches.
  auto first =
      std::find_if(runs.begin(), runs.end(), [&](const Run& r) { return r.right + joinGap >= run.left; });
  Run merged = run;
  auto last = first;
  while (last != runs.end() && last->left <= merged.right + joinGap) {
    merged.top = std::min(merged.top, last->top);
    merged.bottom = std::max(merged.bottom, last->bottom);
    merged.left = std::min(merged.left, last->left);
    merged.right = std::max(merged.right, last->right);
    ++last;
  }
  if (first == last) {
    runs.insert(first, merged);
  } else {
    *first = merged;
    runs.erase(first + 1, last);
  }
}

void Damage::addSpan(int y, int x0, int x1) {
  if (x0 < x1) addRun(bandOf(y), Run{y, y + 1, x0, x1});
}

void Damage::addRect(const Rect& rect) {
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  for (int band = bandOf(rect.top); band <= bandOf(rect.bottom - 1); ++band) {
    const long long bandTop = static_cast<long long>(band) * bandRows;
    addRun(band, Run{static_cast<int>(std::max<long long>(rect.top, bandTop)),
                     static_cast<int>(std::min<long long>(rect.bottom, bandTop + bandRows)), rect.left,
                     rect.right});
  }
}

void Damage::add(const Damage& other) {
  for (const auto& [band, runs] : other.bands_)
    for (const Run& run : runs) addRun(band, run);
}

std::vector<Rect> Damage::rects() const {
  std::vector<Rect> rects;
  std::vector<std::size_t> above, here; // the rectangles that the band above and this one reach
  for (const auto& [band, runs] : bands_) {
    here.clear();
    for (const Run& run : runs) {
      // A run under one of the band above with the same columns (a filled block) extends it.
      auto same = std::find_if(above.begin(), above.end(), [&](std::size_t i) {
        return rects[i].bottom == run.top && rects[i].left == run.left && rects[i].right == run.right;
      });
      if (same != above.end()) {
        rects[*same].bottom = run.bottom;
        here.push_back(*same);
      } else {
        here.push_back(rects.size());
        rects.push_back(Rect{run.left, run.top, run.right, run.bottom});
      }
    }
    std::swap(above, here);
  }
  return rects;
}

} // namespace glimor::capture::marks
