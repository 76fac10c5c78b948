#include "imaging/zlib_parts.h"

#include "imaging/deflate_last_block.h"

#include <libdeflate.h>
#include <memory>
#include <new>

namespace glimor::imaging::zlib {
namespace {

// Leaves the first `size` bytes of a complete stream in `deflate`, open as compressPart says.
void keepOpen(const std::uint8_t* stream, std::size_t size, platform::Bytes& deflate) {
  const deflate::LastBlock last = deflate::findLastBlock({stream, size});
  deflate.assign(stream, stream + (last.endBit + 7) / 8);
  deflate[last.finalBit / 8] &= static_cast<std::uint8_t>(~(1u << (last.finalBit % 8)));
  // The stored block's header (BFINAL 0, BTYPE 00) is three zero bits from endBit,
  // then zeros to the byte boundary; it needs a byte of its own when fewer than
  // three bits are left in the last one.
  const unsigned used = last.endBit % 8;
  if (used != 0) deflate.back() &= static_cast<std::uint8_t>((1u << used) - 1);
  if (used == 0 || used > 5) deflate.push_back(0);
  const std::uint8_t emptyStored[] = {0x00, 0x00, 0xFF, 0xFF}; // LEN 0, NLEN its complement
  deflate.insert(deflate.end(), emptyStored, emptyStored + 4);
}

} // namespace

void Compressor::Free::operator()(libdeflate_compressor* compressor) const {
  libdeflate_free_compressor(compressor);
}

Compressor::Compressor() = default;
Compressor::~Compressor() = default;

Part Compressor::compress(std::span<const std::uint8_t> data, int level, bool last) {
  auto& compressor = byLevel.at(static_cast<std::size_t>(level));
  if (!compressor) compressor.reset(libdeflate_alloc_compressor(level));
  if (!compressor) throw std::bad_alloc();
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), data.size());
  if (buffer.size() < bound) buffer.resize(bound);
  const std::size_t size =
      libdeflate_deflate_compress(compressor.get(), data.data(), data.size(), buffer.data(), bound);
  Part part;
  if (last)
    part.deflate.assign(buffer.data(), buffer.data() + size);
  else
    keepOpen(buffer.data(), size, part.deflate);
  part.adler = libdeflate_adler32(1, data.data(), data.size());
  part.length = data.size();
  part.level = level;
  return part;
}

void appendJoined(platform::Bytes& out, std::span<const Part> parts) {
  // CMF 0x78: deflate with a 32 KiB window. FLG: FLEVEL in the top two bits as zlib
  // would set it for the (first part's) level, only informative; no preset
  // dictionary; FCHECK making CMF FLG a multiple of 31.
  const int level = parts.empty() ? 0 : parts.front().level;
  const unsigned flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned flg = flevel << 6 | (31 - (0x7800 | flevel << 6) % 31);
  out.push_back(0x78);
  out.push_back(static_cast<std::uint8_t>(flg));
  std::uint32_t adler = 1;
  for (const Part& part : parts) {
    out.insert(out.end(), part.deflate.begin(), part.deflate.end());
    adler = combineAdler(adler, part.adler, part.length);
  }
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(adler >> shift));
}

std::uint32_t combineAdler(std::uint32_t first, std::uint32_t second, std::size_t secondLength) {
  // Adler-32 is B << 16 | A, with A = 1 + the sum of the bytes and B the sum of the
  // successive values of A, both modulo 65521. After `first`, the second piece's
  // every A is larger by (A1 - 1), and B gathers that once per byte.
  constexpr std::uint64_t base = 65521;
  const std::uint64_t a1 = first & 0xFFFF, b1 = first >> 16, a2 = second & 0xFFFF, b2 = second >> 16;
  const std::uint64_t a = (a1 + a2 + base - 1) % base;
  const std::uint64_t b = (b1 + b2 + (secondLength % base) * ((a1 + base - 1) % base)) % base;
  return static_cast<std::uint32_t>(b << 16 | a);
}

} // namespace glimor::imaging::zlib
