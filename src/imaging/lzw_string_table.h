#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace glimor::imaging {

// The LZW string table: the code of each string, known by its prefix code and its
// last pixel. An open-addressing hash stamped with a generation number, so that
// emptying the table after every 3837 new strings costs nothing.
class LzwStringTable {
public:
  static constexpr std::uint32_t notFound = 0xFFFF;

  LzwStringTable() : keys(slotCount, 0), codes(slotCount, 0) {}

  // The code of the string `prefix` followed by `pixel`, or notFound.
  std::uint32_t find(std::uint32_t prefix, std::uint32_t pixel) const {
    const std::uint32_t key = keyOf(prefix, pixel);
    for (std::uint32_t slot = slotOf(key);; slot = (slot + 1) & (slotCount - 1)) {
      if (keys[slot] == key) return codes[slot];
      if (keys[slot] >> 20 != generation) return notFound;
    }
  }

  // Enters a string that find() did not know.
  void add(std::uint32_t prefix, std::uint32_t pixel, std::uint32_t code) {
    const std::uint32_t key = keyOf(prefix, pixel);
    std::uint32_t slot = slotOf(key);
    while (keys[slot] >> 20 == generation) slot = (slot + 1) & (slotCount - 1);
    keys[slot] = key;
    codes[slot] = static_cast<std::uint16_t>(code);
  }

  void clear() {
    // Entries of older generations count as empty slots; only a wrap of the
    // 12-bit generation number needs the slots really emptied.
    if (++generation == 4096) {
      std::fill(keys.begin(), keys.end(), 0);
      generation = 1;
    }
  }

private:
  static constexpr std::uint32_t slotBits = 14; // 16384 slots for at most 3837 strings
  static constexpr std::uint32_t slotCount = 1u << slotBits;

  // Prefix codes are below 4096 and pixels below 256: 20 bits, the generation above them.
  std::uint32_t keyOf(std::uint32_t prefix, std::uint32_t pixel) const {
    return generation << 20 | prefix << 8 | pixel;
  }
  static std::uint32_t slotOf(std::uint32_t key) {
    return ((key & 0xFFFFF) * 0x9E3779B1u) >> (32 - slotBits);
  }

  std::vector<std::uint32_t> keys;
  std::vector<std::uint16_t> codes;
  std::uint32_t generation = 1;
};

} // namespace glimor::imaging
