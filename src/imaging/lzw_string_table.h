#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace glimor::imaging {

// The LZW string table: the code of each string, known by its prefix code and its
// last pixel. Open addressing over 8192 slots of 32 bits (the table of one run
// between clear codes holds at most 3837 strings, so it stays under half full and
// fits in the processor's first-level cache), and before it, for each prefix, the
// string last found or made from it: runs of one colour and repeated patterns,
// common on screens, mostly stop there.
class LzwStringTable {
public:
  static constexpr std::uint32_t notFound = 0xFFFF;

  LzwStringTable() : slots(slotCount, empty), recent(4096, 0) {}

  // The code of the string `prefix` followed by `pixel`; when there is none, the
  // string is entered with `newCode` and notFound is returned.
  std::uint32_t findOrAdd(std::uint32_t prefix, std::uint32_t pixel, std::uint32_t newCode) {
    // The string last found or made from this prefix comes first: runs and repeated patterns hit it.
    const std::uint32_t hint = recent[prefix];
    if (hint >> 16 == pixel + 1) return hint & 0xFFFF;
    const std::uint32_t key = prefix << 8 | pixel; // prefix codes < 4095, pixels < 256: 20 bits
    for (std::uint32_t slot = slotOf(key);; slot = (slot + 1) & (slotCount - 1)) {
      const std::uint32_t entry = slots[slot];
      if (entry == empty) {
        slots[slot] = newCode << 20 | key;
        recent[prefix] = (pixel + 1) << 16 | newCode;
        return notFound;
      }
      if ((entry & keyMask) == key) {
        recent[prefix] = (pixel + 1) << 16 | entry >> 20;
        return entry >> 20;
      }
    }
  }

  // The code of the string `prefix` followed by `pixel`, or notFound; enters nothing.
  std::uint32_t find(std::uint32_t prefix, std::uint32_t pixel) {
    const std::uint32_t hint = recent[prefix];
    if (hint >> 16 == pixel + 1) return hint & 0xFFFF;
    const std::uint32_t key = prefix << 8 | pixel;
    for (std::uint32_t slot = slotOf(key);; slot = (slot + 1) & (slotCount - 1)) {
      const std::uint32_t entry = slots[slot];
      if (entry == empty) return notFound;
      if ((entry & keyMask) == key) {
        recent[prefix] = (pixel + 1) << 16 | entry >> 20;
        return entry >> 20;
      }
    }
  }

  void clear() {
    std::fill(slots.begin(), slots.end(), empty);
    std::fill(recent.begin(), recent.end(), 0);
  }

private:
  static constexpr std::uint32_t slotBits = 13;
  static constexpr std::uint32_t slotCount = 1u << slotBits;
  static constexpr std::uint32_t keyMask = 0xFFFFF;
  // Code 4095 with key 0xFFFFF: never stored, since codes stop at 4094.
  static constexpr std::uint32_t empty = 0xFFFFFFFF;

  static std::uint32_t slotOf(std::uint32_t key) { return (key * 0x9E3779B1u) >> (32 - slotBits); }

  std::vector<std::uint32_t> slots;
  std::vector<std::uint32_t> recent; // by prefix code: (pixel + 1) << 16 | code, 0 when none
};

} // namespace glimor::imaging
