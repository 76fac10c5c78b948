#include "imaging/coarse_histogram.h"

namespace glimor::imaging::histogram {
namespace {

template <int BytesPerPixel> void countSlots(const Bitmap& image, CoarseHistogram::Counts& table) {
  forEachPixel<BytesPerPixel>(image, [&](Colour colour, std::size_t position) {
    const std::uint32_t slot = CoarseHistogram::slotOf(colour);
    if (table.counts[slot]++ == 0) {
      table.firstSeen[slot] = static_cast<std::uint32_t>(position);
      table.used.push_back(slot);
    }
    return true;
  });
}

} // namespace

CoarseHistogram::CoarseHistogram(const Bitmap& image) {
  table.counts.assign(slots, 0);
  table.firstSeen.assign(slots, 0);
  if (image.bitsPerPixel == 32)
    countSlots<4>(image, table);
  else
    countSlots<3>(image, table);
}

std::optional<std::vector<Tally>> CoarseHistogram::talliesOfLevel(int level) const {
  const Colour mask = maskOfLevel(level);
  std::vector<Tally> tallies;
  tallies.reserve(capacity);
  // Entry number + 1 of each masked colour met so far; 0 when none.
  std::vector<std::uint16_t> entryOf(slots, 0);
  // The fine colours in first-seen order: a masked colour is first seen where
  // the first of the fine colours it covers is.
  for (std::uint32_t slot : table.used) {
    const Colour colour = colourOfSlot(slot) & mask;
    std::uint16_t& entry = entryOf[slotOf(colour)];
    if (entry == 0) {
      if (tallies.size() == capacity) return std::nullopt;
      tallies.push_back({colour, table.counts[slot], table.firstSeen[slot]});
      entry = static_cast<std::uint16_t>(tallies.size());
    } else {
      tallies[entry - 1u].count += table.counts[slot];
    }
  }
  return tallies;
}

} // namespace glimor::imaging::histogram
