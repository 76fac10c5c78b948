#include "imaging/png_chunks.h"

#include "platform/error.h"

#include <libdeflate.h>

namespace glimor::imaging::png {

void putSignature(platform::Bytes& out) {
  // 0x89 catches 7-bit transfers, CR LF and LF line-ending conversions, 0x1A stops DOS `type`.
  const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), signature, signature + sizeof signature);
}

void put32(platform::Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::size_t beginChunk(platform::Bytes& out, const char (&type)[5]) {
  const std::size_t start = out.size();
  put32(out, 0); // length, filled in by endChunk
  out.insert(out.end(), type, type + 4);
  return start;
}

void endChunk(platform::Bytes& out, std::size_t chunkStart) {
  const std::size_t length = out.size() - chunkStart - 8;
  if (length > 0x7FFFFFFF) throw Error("Bitmap image is not valid"); // PNG lengths are 31-bit
  for (int i = 0; i < 4; ++i) out[chunkStart + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  // The CRC covers the type and the data, not the length.
  put32(out, libdeflate_crc32(0, out.data() + chunkStart + 4, length + 4));
}

void putChunk(platform::Bytes& out, const char (&type)[5], std::span<const std::uint8_t> data) {
  const std::size_t start = beginChunk(out, type);
  out.insert(out.end(), data.begin(), data.end());
  endChunk(out, start);
}

} // namespace glimor::imaging::png
