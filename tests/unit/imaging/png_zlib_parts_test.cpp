#include "imaging/deflate_last_block.h"
#include "imaging/zlib_parts.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <libdeflate.h>
#include <random>
#include <set>
#include <vector>

namespace glimor::imaging {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs of repeated bytes with noise between them: compressible, with every block kind.
Bytes sampleData(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes data;
  while (data.size() < size) {
    const std::uint8_t value = static_cast<std::uint8_t>(random());
    const std::size_t run = random() % 3 == 0 ? random() % 300 : 1;
    data.insert(data.end(), std::min(run, size - data.size()), value);
  }
  return data;
}

Bytes inflate(const Bytes& stream, std::size_t expected) {
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes out(expected + 1);
  std::size_t consumed = 0, produced = 0;
  const libdeflate_result result = libdeflate_zlib_decompress_ex(
      decompressor, stream.data(), stream.size(), out.data(), out.size(), &consumed, &produced);
  libdeflate_free_decompressor(decompressor);
  EXPECT_EQ(result, LIBDEFLATE_SUCCESS);
  EXPECT_EQ(consumed, stream.size()) << "bytes after the final block";
  out.resize(produced);
  return out;
}

// libdeflate's own decompressor (which checks the Adler-32) reads the joined
// stream as the data of all parts; the lengths are many, so every part's last
// block ends at each of the 8 bit positions of a byte, also where the empty stored
// block needs a byte of its own.
TEST(PngZlibParts, JoinedPartsInflateToTheWholeData) {
  std::set<std::size_t> endings;
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    const int level = std::vector<int>{0, 1, 2, 5, 12}[round % 5];
    const Bytes data = sampleData(random() % 70000, static_cast<std::uint32_t>(round));
    const std::size_t cut1 = data.empty() ? 0 : random() % data.size();
    const std::size_t cut2 = cut1 + (data.size() - cut1) / 2;
    std::vector<zlib::Part> parts;
    zlib::Compressor compressor;
    for (auto [from, to] : {std::pair{std::size_t{0}, cut1}, {cut1, cut2}, {cut2, data.size()}}) {
      const std::span<const std::uint8_t> piece = std::span(data).subspan(from, to - from);
      endings.insert(deflate::findLastBlock(compressor.compress(piece, level, true).deflate).endBit % 8);
      parts.push_back(compressor.compress(piece, level, to == data.size()));
    }
    Bytes joined;
    zlib::appendJoined(joined, parts);
    ASSERT_EQ((joined[0] * 256 + joined[1]) % 31, 0);
    ASSERT_EQ(inflate(joined, data.size()), data) << "round " << round;
  }
  EXPECT_EQ(endings.size(), 8u);
}

TEST(PngZlibParts, AdlerOfTwoPiecesCombines) {
  const Bytes data = sampleData(200000, 3);
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{1}, std::size_t{65521}, std::size_t{123457}, data.size()}) {
    const std::uint32_t first = libdeflate_adler32(1, data.data(), cut);
    const std::uint32_t second = libdeflate_adler32(1, data.data() + cut, data.size() - cut);
    EXPECT_EQ(zlib::combineAdler(first, second, data.size() - cut),
              libdeflate_adler32(1, data.data(), data.size()))
        << cut;
  }
}

TEST(PngDeflateLastBlock, MalformedStreamsAreRefused) {
  const Bytes data = sampleData(50000, 5);
  const zlib::Part part = zlib::Compressor().compress(data, 5, true);
  const Bytes cut(part.deflate.begin(),
                  part.deflate.begin() + static_cast<std::ptrdiff_t>(part.deflate.size() / 2));
  EXPECT_THROW(deflate::findLastBlock(cut), Error);
  EXPECT_THROW(deflate::findLastBlock(Bytes{0x07}), Error); // final block of the reserved type 3
  EXPECT_THROW(deflate::findLastBlock(Bytes{}), Error);
  // A stored block whose length and complement disagree.
  EXPECT_THROW(deflate::findLastBlock(Bytes{0x01, 0x05, 0x00, 0xFA, 0xFE, 1, 2, 3, 4, 5}), Error);
  const deflate::LastBlock stored =
      deflate::findLastBlock(Bytes{0x01, 0x05, 0x00, 0xFA, 0xFF, 1, 2, 3, 4, 5});
  EXPECT_EQ(stored.finalBit, 0u);
  EXPECT_EQ(stored.endBit, 80u);
}

} // namespace
} // namespace glimor::imaging
