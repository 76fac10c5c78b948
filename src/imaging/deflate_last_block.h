#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace glimor::imaging::deflate {

// The last block of a raw deflate stream, in bits counted from the lowest bit of
// the first byte: the bit that marks it final and the bit just past its end
// (before the zero bits that pad the stream to whole bytes). Knowing both lets a
// stream be made non-final and continued, which libdeflate cannot do itself.
struct LastBlock {
  std::size_t finalBit = 0, endBit = 0;
};

// Walks the stream's blocks without inflating them, decoding only the codes.
// Throws Error("Bitmap image is not valid") for a stream that is not well formed.
LastBlock findLastBlock(std::span<const std::uint8_t> stream);

} // namespace glimor::imaging::deflate
