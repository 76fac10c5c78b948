#include "imaging/zlib_parts.h"

#include "imaging/deflate_last_block.h"

#include <libdeflate.h>
#include <memory>
#include <new>

namespace glimor::imaging::zlib {
namespace {

struct FreeCompressor {
  void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// Appends a part's stream with its final bit cleared and an empty stored block
// after it, which is not final either and ends on a byte boundary, so the next
// part's stream can follow byte for byte.
void appendContinued(platform::Bytes& out, const Part& part) {
  const deflate::LastBlock last = deflate::findLastBlock(part.deflate);
  const std::size_t start = out.size();
  out.insert(out.end(), part.deflate.begin(),
             part.deflate.begin() + static_cast<std::ptrdiff_t>((last.endBit + 7) / 8));
  out[start + last.finalBit / 8] &= static_cast<std::uint8_t>(~(1u << (last.finalBit % 8)));
  // The stored block's header (BFINAL 0, BTYPE 00) is three zero bits from endBit,
  // then zeros to the byte boundary; it needs a byte of its own when fewer than
  // three bits are left in the last one.
  const unsigned used = last.endBit % 8;
  if (used != 0) out.back() &= static_cast<std::uint8_t>((1u << used) - 1);
  if (used == 0 || used > 5) out.push_back(0);
  const std::uint8_t emptyStored[] = {0x00, 0x00, 0xFF, 0xFF}; // LEN 0, NLEN its complement
  out.insert(out.end(), emptyStored, emptyStored + 4);
}

} // namespace

Part compressPart(std::span<const std::uint8_t> data, int level) {
  const std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(libdeflate_alloc_compressor(level));
  if (!compressor) throw std::bad_alloc();
  // Compressed into a buffer left uninitialised (the bound is larger than the data),
  // then copied at its size.
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), data.size());
  const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[bound]);
  const std::size_t size =
      libdeflate_deflate_compress(compressor.get(), data.data(), data.size(), buffer.get(), bound);
  Part part;
  part.deflate.assign(buffer.get(), buffer.get() + size);
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
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i + 1 < parts.size())
      appendContinued(out, parts[i]);
    else
      out.insert(out.end(), parts[i].deflate.begin(), parts[i].deflate.end());
    adler = combineAdler(adler, parts[i].adler, parts[i].length);
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
