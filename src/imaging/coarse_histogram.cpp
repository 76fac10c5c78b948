#include "imaging/coarse_histogram.h"

#include <algorithm>

namespace glimor::imaging::histogram {

CoarseHistogram::CoarseHistogram(const Bitmap& bgr24) : counts(slots, 0), firstSeen(slots, 0) {
  const std::size_t stride = bgr24.stride();
  std::uint32_t position = 0;
  for (int y = 0; y < bgr24.height; ++y) {
    const std::uint8_t* pixel = bgr24.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < bgr24.width; ++x, pixel += 3, ++position) {
      const std::uint32_t slot = static_cast<std::uint32_t>(pixel[2] >> 2) << 12 |
                                 static_cast<std::uint32_t>(pixel[1] >> 2) << 6 |
                                 static_cast<std::uint32_t>(pixel[0] >> 2);
      if (counts[slot]++ == 0) firstSeen[slot] = position;
    }
  }
  for (std::uint32_t slot = 0; slot < slots; ++slot)
    if (counts[slot] != 0) used.push_back(slot);
}

std::optional<std::vector<Tally>> CoarseHistogram::talliesOfLevel(int level) const {
  const Colour mask = maskOfLevel(level);
  std::vector<Tally> tallies;
  tallies.reserve(capacity + 1);
  // Entry number + 1 of each masked colour met so far; 0 when none.
  std::vector<std::uint16_t> entryOf(slots, 0);
  for (std::uint32_t slot : used) {
    const Colour colour = colourOfSlot(slot) & mask;
    std::uint16_t& entry = entryOf[slotOf(colour)];
    if (entry == 0) {
      if (tallies.size() == capacity) return std::nullopt;
      tallies.push_back({colour, counts[slot], firstSeen[slot]});
      entry = static_cast<std::uint16_t>(tallies.size());
    } else {
      Tally& tally = tallies[entry - 1u];
      tally.count += counts[slot];
      tally.firstSeen = std::min(tally.firstSeen, firstSeen[slot]);
    }
  }
  std::sort(tallies.begin(), tallies.end(),
            [](const Tally& a, const Tally& b) { return a.firstSeen < b.firstSeen; });
  return tallies;
}

} // namespace glimor::imaging::histogram
