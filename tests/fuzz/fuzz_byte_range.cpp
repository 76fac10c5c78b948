// Drives the Range line parser with arbitrary lines against bodies of any size
// (the input's first 8 bytes, the rest is the line). A range it gives must be
// non-empty and lie within the body, however large the numbers in the line.
#include "byte_range.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::uint64_t bodySize = 0;
  std::memcpy(&bodySize, data, 8);
  if (data[0] & 1) bodySize %= 4096; // small bodies too, where the edges are
  std::string_view line(reinterpret_cast<const char*>(data) + 8, size - 8);
  auto answer = glimor::server::parseRange(line, bodySize);
  if (auto* range = std::get_if<glimor::server::ByteRange>(&answer)) {
    if (range->length == 0 || range->first >= bodySize || range->length > bodySize - range->first)
      std::abort();
  }
  return 0;
}
