#pragma once
#include "imaging/gif_bit_packer.h"
#include "imaging/lzw_string_table.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace glimor::imaging {

// Appends GIF image data (the minimum code size, the LZW codes in data sub-blocks, the block
// terminator) for `count` pixels, each of which may show as any of several indices that look
// alike. `choices` answers, pixel by pixel in order:
//   std::uint32_t first(std::size_t pixel): the index the pixel has when it starts a string;
//   bool other(std::size_t pixel, Probe probe): offers the pixel's other acceptable indices,
//     best first, to probe(index) until it returns true, and says whether one did.
// The current string grows by the first index when the table continues it with that, else by
// another acceptable one; only when none continues it does a code go out. Indices stay below
// 2^codeSize (2..8).
// A full table is kept while its codes go on covering pixels well, and cleared once a window of
// codes covers less than a third of the best window since it filled.
template <typename Choices>
void encodeLzwChoosing(std::size_t count, std::uint32_t codeSize, Choices& choices,
                       std::vector<std::uint8_t>& out) {
  constexpr std::uint32_t lastCode = 4094; // the decoder, one code behind, may still enter 4095
  constexpr std::uint32_t window = 256;    // codes between two looks at a full table's worth
  struct {
    std::size_t numerator, denominator;
  } fullKeep{1, 3}; // a full table goes once a window covers less than this share of the best
  const std::uint32_t clearCode = 1u << codeSize, endCode = clearCode + 1;
  out.push_back(static_cast<std::uint8_t>(codeSize));
  GifBitPacker bits(out, count / 4 + 64);
  LzwStringTable table;
  std::uint32_t size = codeSize + 1, limit = 1u << size, next = endCode + 1;
  std::uint32_t windowCodes = 0;
  std::size_t windowStart = 0, bestPixels = 0;
  bits.put(clearCode, size);
  std::uint32_t current = count ? choices.first(0) : 0;
  for (std::size_t p = 1; p < count; ++p) {
    const std::uint32_t index = choices.first(p);
    std::uint32_t code = table.find(current, index);
    if (code == LzwStringTable::notFound)
      choices.other(p, [&](std::uint32_t other) {
        code = table.find(current, other);
        return code != LzwStringTable::notFound;
      });
    if (code != LzwStringTable::notFound) {
      current = code;
      continue;
    }
    bits.put(current, size);
    if (next <= lastCode) {
      table.findOrAdd(current, index, next);
      if (next >= limit) limit *= 2, ++size;
      if (++next > lastCode) windowStart = p, windowCodes = 0, bestPixels = 0;
    } else if (++windowCodes == window) {
      // The pixels this window's codes covered, against the best window since the table filled.
      const std::size_t pixels = p - windowStart;
      windowStart = p, windowCodes = 0;
      bestPixels = std::max(bestPixels, pixels);
      if (pixels * fullKeep.denominator < bestPixels * fullKeep.numerator) {
        bits.put(clearCode, size);
        table.clear();
        size = codeSize + 1, limit = 1u << size, next = endCode + 1;
      }
    }
    current = index;
  }
  if (count) bits.put(current, size);
  bits.put(endCode, size);
  bits.finish();
}

} // namespace glimor::imaging
