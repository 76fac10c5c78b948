#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace glimor::imaging {

// Codes of varying width packed least significant bit first, each byte filled
// from its lowest bit, as GIF's LZW data is, into one contiguous byte stream.
class GifBitPacker {
public:
  // Appends to `out`, making room for `expectedBytes` at once.
  explicit GifBitPacker(std::vector<std::uint8_t>& out, std::size_t expectedBytes = 0)
      : out(out), used(out.size()) {
    out.resize(used + expectedBytes);
  }

  void put(std::uint32_t code, unsigned width) {
    bits |= static_cast<std::uint64_t>(code) << count;
    count += width;
    if (count >= 32) { // four whole bytes at a time
      if (out.size() - used < 4) out.resize(out.size() * 2 + 64);
      const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                     static_cast<std::uint8_t>(bits >> 16),
                                     static_cast<std::uint8_t>(bits >> 24)};
      std::memcpy(out.data() + used, bytes, 4);
      used += 4;
      bits >>= 32;
      count -= 32;
    }
  }

  // Writes the bits left over; the unused high bits of the last byte are 0.
  void flush() {
    out.resize(used);
    for (; count > 0; count = count > 8 ? count - 8 : 0, bits >>= 8)
      out.push_back(static_cast<std::uint8_t>(bits));
    bits = 0;
    used = out.size();
  }

private:
  std::vector<std::uint8_t>& out;
  std::size_t used;
  std::uint64_t bits = 0;
  unsigned count = 0;
};

// GIF data sub-blocks: a length byte (1 to 255) and that many bytes; every block
// but the last is full. The data end with the block terminator 0, with no empty
// block when they fill their last block exactly.
inline void writeSubBlocks(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
  out.reserve(out.size() + data.size() + data.size() / 255 + 2);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t length = std::min<std::size_t>(255, data.size() - at);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  out.push_back(0);
}

} // namespace glimor::imaging
