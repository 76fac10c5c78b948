#pragma once
#include "imaging/colour_histogram.h"

#include <vector>

namespace glimor::imaging::histogram {

// Colours with the two low bits of every channel cleared (level 6, 2^18 possible
// colours), counted in one pass over the image with their first-seen positions.
// The histogram of every coarser level follows from this table without another
// pass: a masked colour's count is the sum over the fine colours it covers, and it
// was first seen where the earliest of them was.
class CoarseHistogram {
public:
  static constexpr int level = 6;

  explicit CoarseHistogram(const Bitmap& image); // 24 or 32 bits per pixel

  std::size_t distinctColours() const { return table.used.size(); }
  // The level-6 colours that occur, as slots, in first-seen order.
  const std::vector<std::uint32_t>& usedSlots() const { return table.used; }

  // The tallies of `level` (at least CoarseHistogram::level) in first-seen order, or
  // nothing when there are more than `capacity`.
  std::optional<std::vector<Tally>> talliesOfLevel(int level) const;

  // Position of `colour` (masked at level 6 or coarser) in this table's index space.
  static std::uint32_t slotOf(Colour colour) {
    return ((colour >> 18) & 0x3F) << 12 | ((colour >> 10) & 0x3F) << 6 | ((colour >> 2) & 0x3F);
  }
  static Colour colourOfSlot(std::uint32_t slot) {
    return ((slot >> 12) << 18) | (((slot >> 6) & 0x3F) << 10) | ((slot & 0x3F) << 2);
  }
  static constexpr std::size_t slots = 1u << 18;

  struct Counts {
    std::vector<std::uint32_t> counts, firstSeen; // by slot
    std::vector<std::uint32_t> used;              // slots with a count, in first-seen order
  };

private:
  Counts table;
};

} // namespace glimor::imaging::histogram
