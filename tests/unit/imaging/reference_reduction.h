#pragma once
// The colour reduction written the plain way, step by step as the rule reads: a
// histogram of 2049 entries with its 5191-slot index, one full rescan for every
// bit removed, 256 passes to pick the palette. Slow and obviously right; the real
// reduction must give the same bytes.
#include "imaging/bitmap.h"

#include <array>
#include <cstdint>
#include <vector>

namespace glimor::imaging::testing {

struct ReferenceReduction {
  Bitmap indexed;                                // 8 bits, rows bottom-up, padded
  std::array<std::uint8_t, 3> redGreenBlueMasks; // the masks in effect at the end
};

inline ReferenceReduction referenceReduce(const Bitmap& image) {
  struct Entry {
    std::uint8_t b, g, r;
    std::uint32_t frequency;
    std::uint8_t paletteIndex;
  };
  constexpr int maxEntries = 2049, slotCount = 5191;
  std::uint8_t redMask = 0xFF, greenMask = 0xFF, blueMask = 0xFF;
  std::vector<Entry> entries;
  std::vector<std::uint16_t> slots;
  const std::size_t stride = image.stride();

  auto lookup = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint32_t slot = ((static_cast<std::uint32_t>(r) + g) * (static_cast<std::uint32_t>(g) + b) *
                          (static_cast<std::uint32_t>(b) + r)) %
                         slotCount;
    while (slots[slot] != 0xFFFF) {
      const Entry& e = entries[slots[slot]];
      if (e.r == r && e.g == g && e.b == b) break;
      slot = (slot + 1) % slotCount;
    }
    return slot;
  };

  for (;;) {
    entries.clear();
    slots.assign(slotCount, 0xFFFF);
    bool full = false;
    for (int y = 0; y < image.height && !full; ++y) {
      const std::uint8_t* p = image.pixels.data() + stride * static_cast<std::size_t>(y);
      for (int x = 0; x < image.width; ++x, p += 3) {
        const std::uint8_t b = p[0] & blueMask, g = p[1] & greenMask, r = p[2] & redMask;
        const std::uint32_t slot = lookup(r, g, b);
        if (slots[slot] != 0xFFFF) {
          ++entries[slots[slot]].frequency;
        } else if (entries.size() == maxEntries) {
          full = true;
          break;
        } else {
          slots[slot] = static_cast<std::uint16_t>(entries.size());
          entries.push_back({b, g, r, 1, 0});
        }
      }
    }
    if (!full) break;
    if (redMask < greenMask)
      greenMask = static_cast<std::uint8_t>(greenMask * 2);
    else if (redMask > blueMask)
      redMask = static_cast<std::uint8_t>(redMask * 2);
    else
      blueMask = static_cast<std::uint8_t>(blueMask * 2);
  }

  ReferenceReduction result;
  result.redGreenBlueMasks = {redMask, greenMask, blueMask};
  Bitmap& out = result.indexed;
  out.width = image.width;
  out.height = image.height;
  out.bitsPerPixel = 8;
  out.palette.assign(256, 0x808080);
  for (std::size_t i = 0; i < 256 && i < entries.size(); ++i) {
    std::size_t best = 0;
    for (std::size_t e = 1; e < entries.size(); ++e)
      if (entries[e].frequency > entries[best].frequency) best = e;
    out.palette[i] =
        static_cast<std::uint32_t>(entries[best].r) << 16 | entries[best].g << 8 | entries[best].b;
    entries[best].paletteIndex = static_cast<std::uint8_t>(i);
    entries[best].frequency = 0;
  }
  for (Entry& e : entries) {
    if (e.frequency == 0) continue;
    long bestDistance = -1;
    for (int j = 0; j < 256; ++j) {
      const long dr = e.r - static_cast<long>((out.palette[j] >> 16) & 0xFF);
      const long dg = e.g - static_cast<long>((out.palette[j] >> 8) & 0xFF);
      const long db = e.b - static_cast<long>(out.palette[j] & 0xFF);
      const long distance = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || distance < bestDistance) {
        bestDistance = distance;
        e.paletteIndex = static_cast<std::uint8_t>(j);
      }
    }
  }
  out.pixels.assign(out.stride() * static_cast<std::size_t>(out.height), 0);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* p = image.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < image.width; ++x, p += 3) {
      const std::uint32_t slot = lookup(p[2] & redMask, p[1] & greenMask, p[0] & blueMask);
      out.pixels[out.stride() * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)] =
          entries[slots[slot]].paletteIndex;
    }
  }
  return result;
}

} // namespace glimor::imaging::testing
