#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace glimor::imaging {

// Codes of varying width packed least significant bit first, each byte filled from its lowest
// bit, as GIF's LZW data is, straight into GIF data sub-blocks: a length byte (1 to 255) and that
// many bytes, every block but the last full, then the block terminator 0 (no empty block when the
// data fill their last block exactly).
class GifBitPacker {
public:
  // Appends to `out`, making room for about `expectedBytes` of codes at once.
  explicit GifBitPacker(std::vector<std::uint8_t>& out, std::size_t expectedBytes = 0)
      : out(out), blockAt(out.size()), used(blockAt + 1) {
    out.resize(used + expectedBytes + expectedBytes / blockSize + 2);
  }

  void put(std::uint32_t code, unsigned width) {
    bits |= static_cast<std::uint64_t>(code) << count;
    count += width;
    if (count < 32) return;
    if (used + 4 <= blockAt + 1 + blockSize && out.size() - used >= 4) { // all four in this block
      const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                     static_cast<std::uint8_t>(bits >> 16),
                                     static_cast<std::uint8_t>(bits >> 24)};
      std::memcpy(out.data() + used, bytes, 4);
      used += 4;
    } else {
      for (int i = 0; i < 4; ++i) putByte(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    bits >>= 32;
    count -= 32;
  }

  // Writes the bits left over (the unused high bits of the last byte are 0), closes the last
  // block and writes the terminator. Put nothing after this.
  void finish() {
    for (; count > 0; count = count > 8 ? count - 8 : 0, bits >>= 8) putByte(static_cast<std::uint8_t>(bits));
    const std::size_t filled = used - blockAt - 1;
    if (filled == 0)
      used = blockAt; // no bytes since the last full block: no empty block
    else
      out[blockAt] = static_cast<std::uint8_t>(filled);
    room(1);
    out[used++] = 0;
    out.resize(used);
  }

private:
  static constexpr std::size_t blockSize = 255;

  void putByte(std::uint8_t byte) {
    room(2);
    if (used - blockAt - 1 == blockSize) { // the block is full: open the next
      out[blockAt] = blockSize;
      blockAt = used++;
    }
    out[used++] = byte;
  }

  void room(std::size_t bytes) {
    if (out.size() - used < bytes) out.resize(out.size() * 2 + 64);
  }

  std::vector<std::uint8_t>& out;
  std::size_t blockAt; // where the length byte of the open block goes
  std::size_t used;
  std::uint64_t bits = 0;
  unsigned count = 0;
};

} // namespace glimor::imaging
