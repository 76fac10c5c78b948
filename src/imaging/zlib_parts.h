#pragma once
#include "platform/files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

struct libdeflate_compressor;

// One zlib stream made of parts compressed independently (on different cores and
// in pieces that fit the caches): each part is a raw deflate stream with the
// Adler-32 of its data, and the parts are joined in order.
namespace glimor::imaging::zlib {

struct Part {
  platform::Bytes deflate; // raw deflate: a complete stream in the last part, left open before it
  std::uint32_t adler = 1; // Adler-32 of the part's data
  std::size_t length = 0;  // bytes of data
  int level = 0;           // the compression level it was made with
};

// Makes parts with libdeflate; one for each thread. It keeps libdeflate's state
// and its output buffer from one part to the next.
class Compressor {
public:
  Compressor();
  ~Compressor();
  // `data` compressed at `level` (0 to 12). Unless it is the `last` part, the
  // stream is left open: its final block is made non-final and followed by an
  // empty stored block, which ends on a byte boundary, so that the next part's
  // stream can follow byte for byte.
  Part compress(std::span<const std::uint8_t> data, int level, bool last);

private:
  struct Free {
    void operator()(libdeflate_compressor* compressor) const;
  };
  std::array<std::unique_ptr<libdeflate_compressor, Free>, 13> byLevel;
  platform::Bytes buffer;
};

// Appends the zlib stream of all the parts' data, the last part last: header,
// the deflate streams, the combined Adler-32.
void appendJoined(platform::Bytes& out, std::span<const Part> parts);

// The Adler-32 of two pieces of data one after the other, from the two pieces' own.
std::uint32_t combineAdler(std::uint32_t first, std::uint32_t second, std::size_t secondLength);

} // namespace glimor::imaging::zlib
