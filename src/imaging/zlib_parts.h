#pragma once
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <span>

// One zlib stream made of parts compressed independently (on different cores):
// each part is a raw deflate stream with the Adler-32 of its data, and the parts
// are joined in order, every one but the last made non-final.
namespace glimor::imaging::zlib {

struct Part {
  platform::Bytes deflate; // a complete raw deflate stream, final block last
  std::uint32_t adler = 1; // Adler-32 of the part's data
  std::size_t length = 0;  // bytes of data
  int level = 0;           // the compression level it was made with
};

// Compresses `data` with libdeflate at `level` (1 to 12).
Part compressPart(std::span<const std::uint8_t> data, int level);

// Appends the zlib stream of all the parts' data: header, the joined deflate
// streams, the combined Adler-32.
void appendJoined(platform::Bytes& out, std::span<const Part> parts);

// The Adler-32 of two pieces of data one after the other, from the two pieces' own.
std::uint32_t combineAdler(std::uint32_t first, std::uint32_t second, std::size_t secondLength);

} // namespace glimor::imaging::zlib
