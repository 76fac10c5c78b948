#include "imaging/gif_sub_blocks.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

std::vector<std::uint8_t> blocksOf(std::size_t count) {
  std::vector<std::uint8_t> out;
  GifSubBlockWriter blocks(out);
  for (std::size_t i = 0; i < count; ++i) blocks.put(static_cast<std::uint8_t>(i));
  blocks.finish();
  return out;
}

TEST(GifSubBlockWriter, FullBlocksOf255ThenTheRestThenTerminator) {
  EXPECT_EQ(blocksOf(0), (std::vector<std::uint8_t>{0}));
  EXPECT_EQ(blocksOf(3), (std::vector<std::uint8_t>{3, 0, 1, 2, 0}));

  const auto exact = blocksOf(510); // an exact multiple: no empty block before the terminator
  ASSERT_EQ(exact.size(), 2u * 256 + 1);
  EXPECT_EQ(exact[0], 255);
  EXPECT_EQ(exact[1], 0);
  EXPECT_EQ(exact[255], 254);
  EXPECT_EQ(exact[256], 255);
  EXPECT_EQ(exact[257], 255); // byte 255 of the data opens the second block
  EXPECT_EQ(exact.back(), 0);

  const auto oneMore = blocksOf(256);
  ASSERT_EQ(oneMore.size(), 256u + 2 + 1);
  EXPECT_EQ(oneMore[256], 1);
  EXPECT_EQ(oneMore[257], 255);
  EXPECT_EQ(oneMore[258], 0);
}

TEST(GifBitPacker, PacksCodesLeastSignificantBitFirst) {
  std::vector<std::uint8_t> out;
  GifSubBlockWriter blocks(out);
  GifBitPacker bits(blocks);
  bits.put(5, 3);     // 101
  bits.put(0x1A, 5);  // 11010 above it: byte 1101 0101 = 0xD5
  bits.put(0x1AB, 9); // 0xAB, then one bit 1
  bits.put(0, 12);    // 12 zero bits: byte 0x01, the rest pending
  bits.flush();       // 5 bits left over: one more byte, high bits 0
  blocks.finish();
  EXPECT_EQ(out, (std::vector<std::uint8_t>{4, 0xD5, 0xAB, 0x01, 0x00, 0}));
}

TEST(GifBitPacker, ClearCodeValueAndEndCodeOfOnePixelFillFourBytes) {
  std::vector<std::uint8_t> out;
  GifSubBlockWriter blocks(out);
  GifBitPacker bits(blocks);
  for (std::uint32_t code : {256u, 7u, 257u}) bits.put(code, 9);
  bits.flush();
  blocks.finish();
  // 27 bits: 1 0000 0000 | 0 0000 0111 | 1 0000 0001, lowest first.
  EXPECT_EQ(out, (std::vector<std::uint8_t>{4, 0x00, 0x0F, 0x04, 0x04, 0}));
}

} // namespace
} // namespace glimor::imaging
