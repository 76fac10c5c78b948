#include "gif_test_decoder.h"
#include "imaging/lzw_encoder.h"

#include <gtest/gtest.h>

#include <random>

namespace glimor::imaging {
namespace {

using namespace testing;

// An 8-bit bitmap from indices listed top row first.
Bitmap indexedImage(int width, int height, const std::vector<std::uint8_t>& topDown) {
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = 8;
  bitmap.palette.assign(256, 0);
  bitmap.pixels.assign(bitmap.stride() * static_cast<std::size_t>(height), 0xEE); // padding must not leak
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap
          .pixels[bitmap.stride() * static_cast<std::size_t>(height - 1 - y) + static_cast<std::size_t>(x)] =
          topDown[static_cast<std::size_t>(y * width + x)];
  return bitmap;
}

std::vector<std::uint8_t> randomIndices(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> indices(count);
  for (auto& i : indices) i = static_cast<std::uint8_t>(random());
  return indices;
}

// The image data as a GIF file's tail, decoded by the strict test reader.
DecodedGif decodeData(const Bitmap& image, std::vector<std::uint8_t>& data) {
  data.clear();
  encodeLzw(image, data);
  std::vector<std::uint8_t> file{'G', 'I', 'F', '8', '7', 'a'};
  const auto u16 = [&](int v) {
    file.push_back(static_cast<std::uint8_t>(v)), file.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(image.width);
  u16(image.height);
  file.insert(file.end(), {0xF7, 0, 0});
  file.resize(file.size() + 768);
  file.push_back(0x2C);
  u16(0), u16(0), u16(image.width), u16(image.height);
  file.push_back(0);
  file.insert(file.end(), data.begin(), data.end());
  file.push_back(0x3B);
  return decodeGif(file);
}

TEST(EncodeLzw, OnePixelIsClearCodePixelEndCodeInFourBytes) {
  std::vector<std::uint8_t> data;
  encodeLzw(indexedImage(1, 1, {7}), data);
  EXPECT_EQ(data, (std::vector<std::uint8_t>{8, 4, 0x00, 0x0F, 0x04, 0x04, 0}));
}

TEST(EncodeLzw, RowsGoTopFirstAndDecodeToTheSameIndices) {
  const std::vector<std::uint8_t> indices{1, 1, 1, 2, 3, 1, 1, 1, 2, 3, 4, 4, 4, 4, 4, 9, 1, 1, 1, 2, 3};
  std::vector<std::uint8_t> data;
  const DecodedGif gif = decodeData(indexedImage(7, 3, indices), data);
  EXPECT_EQ(gif.indices, indices);
  // The first row becomes codes 1, 258 (1 1), 2, 3 ... with a new string per code.
  ASSERT_GE(gif.codes.size(), 4u);
  EXPECT_EQ(gif.codes[1].first, 1u);
  EXPECT_EQ(gif.codes[2].first, 258u);
}

TEST(EncodeLzw, CodeSizeGrowsAfter512And1024And2048AndTableResetsAt4094) {
  const std::vector<std::uint8_t> indices = randomIndices(300 * 40, 5);
  std::vector<std::uint8_t> data;
  const DecodedGif gif = decodeData(indexedImage(300, 40, indices), data);
  ASSERT_EQ(gif.indices, indices);
  const auto& codes = gif.codes;
  ASSERT_GT(codes.size(), 3842u);
  EXPECT_EQ(codes[0], std::make_pair(256u, 9u));
  // Data code i goes out just before code 257 + i is assigned.
  EXPECT_EQ(codes[255].second, 9u); // then 512 is assigned
  EXPECT_EQ(codes[256].second, 10u);
  EXPECT_EQ(codes[767].second, 10u); // then 1024
  EXPECT_EQ(codes[768].second, 11u);
  EXPECT_EQ(codes[1791].second, 11u); // then 2048
  EXPECT_EQ(codes[1792].second, 12u);
  // Code 4094 is assigned after data code 3837; the pixel that caused it goes out
  // alone, then the clear code, both 12 bits; then 9 bits again.
  for (std::size_t i = 1; i <= 3838; ++i) ASSERT_NE(codes[i].first, 256u) << i;
  EXPECT_EQ(codes[3838].second, 12u);
  EXPECT_LT(codes[3838].first, 256u);
  EXPECT_EQ(codes[3839], std::make_pair(256u, 12u));
  EXPECT_EQ(codes[3840].second, 9u);
  EXPECT_LT(codes[3840].first, 256u);
  // New codes start again at 258 after the clear code: the first string code used
  // is a low one (and the decoder, which restarts at 258, got every index right).
  const auto repeat = std::find_if(codes.begin() + 3841, codes.end(), [](auto c) { return c.first > 257; });
  ASSERT_NE(repeat, codes.end());
  EXPECT_LT(repeat->first, 258u + static_cast<unsigned>(repeat - codes.begin()) - 3840u);
}

TEST(EncodeLzw, ResetOnTheLastPixelSendsThatPixelOnce) {
  // Find how many pixels a random row takes to reach the reset, then encode exactly those.
  const std::vector<std::uint8_t> many = randomIndices(20000, 11);
  std::vector<std::uint8_t> data;
  const DecodedGif full = decodeData(indexedImage(20000, 1, many), data);
  const auto secondClear =
      std::find(full.codes.begin() + 1, full.codes.end(), std::make_pair(256u, 12u)) - full.codes.begin();
  ASSERT_LT(static_cast<std::size_t>(secondClear), full.codes.size());
  const std::size_t pixelsBeforeReset = full.pixelsBefore[static_cast<std::size_t>(secondClear)];
  const std::vector<std::uint8_t> exact(many.begin(),
                                        many.begin() + static_cast<std::ptrdiff_t>(pixelsBeforeReset));
  const DecodedGif gif = decodeData(indexedImage(static_cast<int>(exact.size()), 1, exact), data);
  EXPECT_EQ(gif.indices, exact); // no pixel twice
  ASSERT_GE(gif.codes.size(), 3u);
  const auto last = gif.codes.end();
  EXPECT_EQ(*(last - 1), std::make_pair(257u, 9u));
  EXPECT_EQ(*(last - 2), std::make_pair(256u, 12u));
  EXPECT_EQ((last - 3)->first, exact.back());
}

TEST(EncodeLzw, DataFillingWholeSubBlocksEndWithTheTerminatorAlone) {
  const std::vector<std::uint8_t> indices = randomIndices(4000, 3);
  std::vector<std::uint8_t> data;
  bool found = false;
  for (int width = 200; width < 4000 && !found; ++width) {
    data.clear();
    encodeLzw(indexedImage(width, 1, indices), data);
    const std::size_t payload = data.size() - 2; // minus code size byte and terminator
    if (payload % 256 != 0) continue;
    found = true;
    // Only full blocks: 255-length bytes at every 256th position and no empty block.
    for (std::size_t at = 1; at + 1 < data.size(); at += 256) ASSERT_EQ(data[at], 255) << width;
    EXPECT_EQ(data.back(), 0);
    std::vector<std::uint8_t> again;
    EXPECT_EQ(decodeData(indexedImage(width, 1, indices), again).indices,
              std::vector<std::uint8_t>(indices.begin(), indices.begin() + width));
  }
  EXPECT_TRUE(found) << "no width gave an exact multiple of 255 bytes";
}

} // namespace
} // namespace glimor::imaging
