#include "imaging/coarse_histogram.h"

#include <algorithm>

namespace glimor::imaging::histogram {

namespace {

template <int BytesPerPixel>
void countSlots(const Bitmap& image, std::vector<std::uint32_t>& counts,
                std::vector<std::uint32_t>& firstSeen) {
  forEachPixel<BytesPerPixel>(image, [&](Colour colour, std::size_t position) {
    const std::uint32_t slot = CoarseHistogram::slotOf(colour);
    if (counts[slot]++ == 0) firstSeen[slot] = static_cast<std::uint32_t>(position);
    return true;
  });
}

} // namespace

CoarseHistogram::CoarseHistogram(const Bitmap& image) : counts(slots, 0), firstSeen(slots, 0) {
  if (image.bitsPerPixel == 32)
    countSlots<4>(image, counts, firstSeen);
  else
    countSlots<3>(image, counts, firstSeen);
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
