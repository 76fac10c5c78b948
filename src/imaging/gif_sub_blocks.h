#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace glimor::imaging {

// GIF data sub-blocks: a length byte (1 to 255) and that many bytes; every block
// but the last is full. finish() ends the data with the block terminator 0, with
// no empty block when the data filled its last block exactly.
class GifSubBlockWriter {
public:
  explicit GifSubBlockWriter(std::vector<std::uint8_t>& out) : out(out) {}

  void put(std::uint8_t byte) {
    block[used++] = byte;
    if (used == 255) writeBlock();
  }

  void finish() {
    if (used > 0) writeBlock();
    out.push_back(0);
  }

private:
  void writeBlock() {
    const std::size_t at = out.size();
    out.resize(at + 1 + used);
    out[at] = static_cast<std::uint8_t>(used);
    std::memcpy(out.data() + at + 1, block, used);
    used = 0;
  }

  std::vector<std::uint8_t>& out;
  std::uint8_t block[255];
  unsigned used = 0;
};

// Codes of varying width packed least significant bit first, each byte filled
// from its lowest bit, as GIF's LZW data is.
class GifBitPacker {
public:
  explicit GifBitPacker(GifSubBlockWriter& blocks) : blocks(blocks) {}

  void put(std::uint32_t code, unsigned width) {
    bits |= static_cast<std::uint64_t>(code) << count;
    count += width;
    while (count >= 8) {
      blocks.put(static_cast<std::uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }

  // Writes the bits left over as a last byte whose unused high bits are 0.
  void flush() {
    if (count > 0) blocks.put(static_cast<std::uint8_t>(bits));
    bits = 0;
    count = 0;
  }

private:
  GifSubBlockWriter& blocks;
  std::uint64_t bits = 0;
  unsigned count = 0;
};

} // namespace glimor::imaging
