#pragma once
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <span>

// PNG's framing: the signature and the chunks (length, type, data, CRC) around
// data that the caller writes straight into the file's buffer.
namespace glimor::imaging::png {

void putSignature(platform::Bytes& out);

// Big-endian, as every number in a PNG file.
void put32(platform::Bytes& out, std::uint32_t value);

// Starts a chunk of the four-letter `type`; the caller appends its data, then
// calls endChunk with the returned position, which fills in the length and adds
// the CRC of the type and data.
std::size_t beginChunk(platform::Bytes& out, const char (&type)[5]);
void endChunk(platform::Bytes& out, std::size_t chunkStart);

// A whole chunk whose data is at hand.
void putChunk(platform::Bytes& out, const char (&type)[5], std::span<const std::uint8_t> data);

} // namespace glimor::imaging::png
