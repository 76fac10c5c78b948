#include "imaging/palette_fit.h"

#include "imaging/colour_distance.h"

#include <algorithm>

namespace glimor::imaging {
namespace {

constexpr std::size_t mostKeys = 4096;
constexpr int refinements = 6;

// A group of colours that share a masked key: their count, channel sums and heaviest colour.
struct Group {
  std::uint32_t key = 0, count = 0, top = 0, topCount = 0;
  std::uint64_t red = 0, green = 0, blue = 0;
  std::uint32_t mean() const {
    auto channel = [&](std::uint64_t sum) { return static_cast<std::uint32_t>((sum + count / 2) / count); };
    return (channel(red) << 16) | (channel(green) << 8) | channel(blue);
  }
};

// Distinct colours with their counts, ascending.
std::vector<Group> distinctColours(std::span<const std::uint32_t> colours) {
  std::vector<std::uint32_t> sorted(colours.begin(), colours.end());
  for (auto& c : sorted) c &= 0xFFFFFF;
  std::sort(sorted.begin(), sorted.end());
  std::vector<Group> groups;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i;
    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
    const auto count = static_cast<std::uint32_t>(j - i);
    const std::uint32_t c = sorted[i];
    groups.push_back({c, count, c, count, std::uint64_t{c >> 16} * count,
                      std::uint64_t{(c >> 8) & 0xFF} * count, std::uint64_t{c & 0xFF} * count});
    i = j;
  }
  return groups;
}

// Groups whose keys agree under `mask`, merged; the input is ascending under the previous mask,
// so it is sorted again by the new keys.
std::vector<Group> mergeUnder(std::vector<Group> groups, std::uint32_t mask) {
  for (auto& g : groups) g.key &= mask;
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.key < b.key; });
  std::vector<Group> merged;
  for (const Group& g : groups) {
    if (merged.empty() || merged.back().key != g.key) {
      merged.push_back(g);
      continue;
    }
    Group& m = merged.back();
    m.count += g.count, m.red += g.red, m.green += g.green, m.blue += g.blue;
    if (g.topCount > m.topCount) m.top = g.top, m.topCount = g.topCount;
  }
  return merged;
}

int nearestEntry(std::uint32_t colour, const std::vector<std::uint32_t>& entries) {
  int best = 0, bestDistance = squaredDistance(colour, entries[0]);
  for (int i = 1; i < static_cast<int>(entries.size()) && bestDistance != 0; ++i) {
    const int d = squaredDistance(colour, entries[i]);
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

} // namespace

FittedPalette::FittedPalette(std::span<const std::uint32_t> colours, int size) {
  std::vector<Group> groups = distinctColours(colours);
  for (int bits = 1; groups.size() > mostKeys; ++bits) {
    const std::uint32_t low = (1u << bits) - 1;
    mask = 0xFFFFFF & ~((low << 16) | (low << 8) | low);
    groups = mergeUnder(std::move(groups), mask);
  }
  keys.reserve(groups.size());
  for (const Group& g : groups) keys.push_back(g.key);
  entryOfKey.assign(groups.size(), 0);
  if (groups.empty()) return;

  // The starting entries, spread apart by weight.
  std::vector<std::uint32_t> mean(groups.size());
  for (std::size_t i = 0; i < groups.size(); ++i) mean[i] = groups[i].mean();
  std::vector<std::uint64_t> distance(groups.size(), ~std::uint64_t{0});
  std::size_t pick = 0;
  for (std::size_t i = 1; i < groups.size(); ++i)
    if (groups[i].count > groups[pick].count) pick = i;
  while (static_cast<int>(entries_.size()) < size) {
    entries_.push_back(mean[pick]);
    std::uint64_t farthest = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
      distance[i] = std::min<std::uint64_t>(distance[i], squaredDistance(mean[i], entries_.back()));
      const std::uint64_t weight = distance[i] * groups[i].count;
      if (weight > farthest) farthest = weight, pick = i;
    }
    if (farthest == 0) break; // every colour has its own entry
  }

  // Each entry moves to the mean of its colours.
  std::vector<Group> clusters;
  for (int round = 0; round <= refinements; ++round) {
    for (std::size_t i = 0; i < groups.size(); ++i)
      entryOfKey[i] = static_cast<std::uint8_t>(nearestEntry(mean[i], entries_));
    if (round == refinements) break;
    clusters.assign(entries_.size(), Group{});
    for (std::size_t i = 0; i < groups.size(); ++i) {
      Group& c = clusters[entryOfKey[i]];
      const Group& g = groups[i];
      c.count += g.count, c.red += g.red, c.green += g.green, c.blue += g.blue;
      if (g.topCount > c.topCount) c.top = g.top, c.topCount = g.topCount;
    }
    bool moved = false;
    for (std::size_t e = 0; e < entries_.size(); ++e) {
      if (clusters[e].count == 0) continue;
      const std::uint32_t next =
          2 * std::uint64_t{clusters[e].topCount} >= clusters[e].count ? clusters[e].top : clusters[e].mean();
      moved |= next != entries_[e];
      entries_[e] = next;
    }
    if (!moved) break;
  }
}

std::uint8_t FittedPalette::entryOf(std::uint32_t colour) const {
  const auto at = std::lower_bound(keys.begin(), keys.end(), colour & mask);
  return at == keys.end() ? 0 : entryOfKey[static_cast<std::size_t>(at - keys.begin())];
}

} // namespace glimor::imaging
