#pragma once
#include "imaging/colour_distance.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace glimor::imaging {

// The indices each pixel of a frame's image may show as, for encodeLzwChoosing: its own index
// first; an unchanged pixel may also show as transparent or as its own colour, whichever it is
// not first; and a pixel marked `passing` whose first index is an entry may show as a nearby
// entry when that adds
// at most `nearDistance` (squared, over the three channels) to its error, paid from an error
// budget that grows by `errorPerPixel` with each pixel passed, so that it is spread evenly and
// flat areas, whose strings seldom break, spend little of it.
class FrameChoices {
public:
  static constexpr std::int16_t none = -1;
  static constexpr std::uint32_t passing = 1u << 24; // set on colours the next frame replaces

  // `first`, `colours` (0x00RRGGBB) and `exact` (the other index that shows the pixel exactly, or
  // none) go pixel by pixel, top row first. `errorPerPixel` counts in sixteenths.
  FrameChoices(const std::vector<std::uint8_t>& first, const std::vector<std::uint32_t>& colours,
               const std::vector<std::int16_t>& exact, const std::vector<std::uint32_t>& table,
               int transparent, int nearDistance, int errorPerPixel)
      : first_(first), colours(colours), exact(exact), table(table), nearDistance(nearDistance),
        errorPerPixel(errorPerPixel), near(table.size()) {
    if (nearDistance <= 0 || errorPerPixel <= 0) return;
    // Entries within twice the distance of each other: any two within it of one colour are.
    for (std::size_t e = 0; e < table.size(); ++e) {
      if (static_cast<int>(e) == transparent) continue;
      for (std::size_t f = 0; f < table.size(); ++f)
        if (f != e && static_cast<int>(f) != transparent &&
            squaredDistance(table[e], table[f]) <= 4 * nearDistance)
          near[e].push_back(static_cast<std::uint8_t>(f));
      std::sort(near[e].begin(), near[e].end(), [&](std::uint8_t a, std::uint8_t b) {
        return squaredDistance(table[e], table[a]) < squaredDistance(table[e], table[b]);
      });
    }
  }

  std::uint32_t first(std::size_t pixel) const { return first_[pixel]; }

  template <typename Probe> bool other(std::size_t pixel, Probe probe) {
    if (exact[pixel] != none && probe(static_cast<std::uint32_t>(exact[pixel]))) return true;
    const std::uint32_t colour = colours[pixel];
    const std::uint32_t shown = first_[pixel];
    if (!(colour & passing) || near[shown].empty()) return false;
    budget = std::min(budget + static_cast<std::int64_t>(pixel - passed) * errorPerPixel,
                      std::int64_t{errorPerPixel} * budgetPixels);
    passed = pixel;
    const int error = squaredDistance(colour, table[shown]);
    for (const std::uint8_t candidate : near[shown]) {
      const int added = squaredDistance(colour, table[candidate]) - error;
      if (added > nearDistance || 16 * added > budget) continue;
      if (probe(candidate)) {
        budget -= 16 * added;
        return true;
      }
    }
    return false;
  }

private:
  static constexpr std::int64_t budgetPixels = 4096; // the most budget saved up, in pixels' worth

  const std::vector<std::uint8_t>& first_;
  const std::vector<std::uint32_t>& colours;
  const std::vector<std::int16_t>& exact;
  const std::vector<std::uint32_t>& table;
  int nearDistance, errorPerPixel;
  std::vector<std::vector<std::uint8_t>> near; // by entry: the entries near it, nearest first
  std::int64_t budget = 0;
  std::size_t passed = 0;
};

} // namespace glimor::imaging
