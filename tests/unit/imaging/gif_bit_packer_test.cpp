#include "imaging/gif_bit_packer.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

std::vector<std::uint8_t> packed(std::initializer_list<std::pair<std::uint32_t, unsigned>> codes,
                                 std::size_t room = 0) {
  std::vector<std::uint8_t> out{0xAA}; // appends after what is there
  GifBitPacker bits(out, room);
  for (auto [code, width] : codes) bits.put(code, width);
  bits.finish();
  EXPECT_EQ(out.front(), 0xAA);
  return std::vector<std::uint8_t>(out.begin() + 1, out.end());
}

TEST(GifBitPacker, PacksCodesLeastSignificantBitFirstInOneBlock) {
  // 101, then 11010 above it: 0xD5; 0x1AB: 0xAB and one bit; 12 zero bits; 5 bits left: one more byte.
  const std::vector<std::uint8_t> expected{4, 0xD5, 0xAB, 0x01, 0x00, 0};
  EXPECT_EQ(packed({{5, 3}, {0x1A, 5}, {0x1AB, 9}, {0, 12}}), expected);
  EXPECT_EQ(packed({{5, 3}, {0x1A, 5}, {0x1AB, 9}, {0, 12}}, 1000), expected); // room set aside is not output
  // Clear code, pixel 7, end code: 27 bits in four bytes.
  EXPECT_EQ(packed({{256, 9}, {7, 9}, {257, 9}}), (std::vector<std::uint8_t>{4, 0x00, 0x0F, 0x04, 0x04, 0}));
  EXPECT_EQ(packed({}), (std::vector<std::uint8_t>{0}));
}

// `count` bytes 0, 1, 2, ... put as 8-bit codes.
std::vector<std::uint8_t> blocksOf(std::size_t count, std::size_t room) {
  std::vector<std::uint8_t> out{0x2C};
  GifBitPacker bits(out, room);
  for (std::size_t i = 0; i < count; ++i) bits.put(static_cast<std::uint8_t>(i), 8);
  bits.finish();
  return std::vector<std::uint8_t>(out.begin() + 1, out.end());
}

TEST(GifBitPacker, FullBlocksOf255ThenTheRestThenTerminator) {
  for (std::size_t room : {std::size_t{0}, std::size_t{3}, std::size_t{4096}}) {
    EXPECT_EQ(blocksOf(3, room), (std::vector<std::uint8_t>{3, 0, 1, 2, 0}));

    const auto exact = blocksOf(510, room); // an exact multiple: no empty block before the terminator
    ASSERT_EQ(exact.size(), 2u * 256 + 1);
    EXPECT_EQ(exact[0], 255);
    EXPECT_EQ(exact[1], 0);
    EXPECT_EQ(exact[255], 254);
    EXPECT_EQ(exact[256], 255);
    EXPECT_EQ(exact[257], 255); // byte 255 of the data opens the second block
    EXPECT_EQ(exact.back(), 0);

    const auto oneMore = blocksOf(256, room);
    ASSERT_EQ(oneMore.size(), 256u + 2 + 1);
    EXPECT_EQ(oneMore[256], 1);
    EXPECT_EQ(oneMore[257], 255);
    EXPECT_EQ(oneMore[258], 0);
  }
}

TEST(GifBitPacker, LongStreamsOfWideCodesKeepEveryBitAcrossBlocks) {
  std::vector<std::uint8_t> out;
  GifBitPacker bits(out, 3);
  for (std::uint32_t i = 0; i < 5000; ++i) bits.put(i & 0xFFF, 12);
  bits.finish();
  std::vector<std::uint8_t> data; // the blocks' contents, length bytes dropped
  std::size_t at = 0;
  for (; at < out.size() && out[at] != 0; at += 1 + out[at]) {
    ASSERT_TRUE(out[at] == 255 || at + 1 + out[at] + 1 == out.size()) << "a short block before the last";
    data.insert(data.end(), out.begin() + at + 1, out.begin() + at + 1 + out[at]);
  }
  ASSERT_EQ(at + 1, out.size());
  ASSERT_EQ(data.size(), 5000u * 12 / 8);
  for (std::size_t i = 0; i < 5000; i += 2) { // two 12-bit codes in three bytes
    const std::uint32_t pair = data[i / 2 * 3] | data[i / 2 * 3 + 1] << 8 | data[i / 2 * 3 + 2] << 16;
    ASSERT_EQ(pair & 0xFFF, i & 0xFFF);
    ASSERT_EQ(pair >> 12, (i + 1) & 0xFFF);
  }
}

} // namespace
} // namespace glimor::imaging
