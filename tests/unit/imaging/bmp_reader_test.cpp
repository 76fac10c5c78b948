#include "imaging/bmp_reader.h"
#include "imaging/bmp_writer.h"
#include "platform/error.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <string>

namespace glimor::imaging {
namespace {

using namespace testing;

std::string errorOf(const platform::Bytes& file) {
  try {
    decodeBmp(file);
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

void put32(platform::Bytes& file, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(DecodeBmp, ReadsWhatTheWriterWritesAtEveryDisplayDepth) {
  for (int depth : {1, 2, 4, 8, 16, 24, 32}) {
    Bitmap original = redFOnBlue(24);
    original.bitsPerPixel = depth;
    original.pixels.resize(original.stride() * 9);
    if (depth <= 8)
      for (int i = 0; i < 1 << depth; ++i)
        original.palette.push_back(0x010203u * static_cast<std::uint32_t>(i) & 0xFFFFFF);
    const Bitmap read = decodeBmp(encodeBmp(original));
    EXPECT_EQ(read.width, 7);
    EXPECT_EQ(read.height, 9);
    EXPECT_EQ(read.bitsPerPixel, depth);
    EXPECT_EQ(read.pixels, original.pixels);
    EXPECT_EQ(read.palette, original.palette);
  }
}

TEST(DecodeBmp, ColoursTheTableLeavesOutAreBlack) {
  Bitmap original = redFOnBlue(24);
  original.bitsPerPixel = 4;
  original.pixels.resize(original.stride() * 9);
  original.palette.assign(16, 0xFFFFFF);
  platform::Bytes file = encodeBmp(original);
  put32(file, 46, 2); // two colours used; the table still fills the space before the rows
  EXPECT_EQ(decodeBmp(file).palette,
            std::vector<std::uint32_t>({0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  put32(file, 46, 17);
  EXPECT_NE(errorOf(file).find("colours"), std::string::npos);
  put32(file, 46, 0);
  put32(file, 10, 54 + 60); // the rows begin inside the table
  EXPECT_NE(errorOf(file).find("colour table"), std::string::npos);
}

TEST(DecodeBmp, TopDownFileBecomesBottomUpBitmap) {
  const Bitmap original = redFOnBlue(24);
  platform::Bytes file = encodeBmp(original);
  put32(file, 22, static_cast<std::uint32_t>(-9));
  // Store the rows in the opposite order, as a top-down file has them.
  const std::size_t stride = original.stride();
  for (int y = 0; y < 9; ++y)
    std::copy_n(original.pixels.begin() + static_cast<std::ptrdiff_t>(stride * (8 - y)), stride,
                file.begin() + 54 + static_cast<std::ptrdiff_t>(stride * y));
  const Bitmap read = decodeBmp(file);
  EXPECT_EQ(read.height, 9);
  EXPECT_EQ(read.pixels, original.pixels);
  EXPECT_EQ(rgbAt(read, 1, 1), red);
}

TEST(DecodeBmp, Accepts32BitBitfieldsWithPlainByteMasks) {
  const Bitmap original = redFOnBlue(32);
  platform::Bytes file = encodeBmp(original);
  put32(file, 30, 3);
  const platform::Bytes masks{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
  file.insert(file.begin() + 54, masks.begin(), masks.end());
  put32(file, 10, 66);
  EXPECT_EQ(decodeBmp(file).pixels, original.pixels);
  file[56] = 0xFE; // red mask no longer a whole byte
  EXPECT_NE(errorOf(file).find("colour masks"), std::string::npos);
}

TEST(DecodeBmp, ExplainsWhatIsWrongWithBadFiles) {
  const platform::Bytes good = encodeBmp(redFOnBlue(24));
  auto with = [&](std::size_t at, std::uint32_t value, bool sixteen = false) {
    platform::Bytes file = good;
    file[at] = static_cast<std::uint8_t>(value);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
    if (!sixteen)
      file[at + 2] = static_cast<std::uint8_t>(value >> 16),
                file[at + 3] = static_cast<std::uint8_t>(value >> 24);
    return file;
  };
  EXPECT_NE(errorOf(platform::Bytes{'P', '6'}).find("not a BMP"), std::string::npos);
  EXPECT_NE(errorOf(platform::Bytes(good.begin(), good.begin() + 40)).find("truncated"), std::string::npos);
  EXPECT_NE(errorOf(platform::Bytes(good.begin(), good.end() - 1)).find("truncated"), std::string::npos);
  EXPECT_NE(errorOf(with(28, 12, true)).find("depth"), std::string::npos);
  EXPECT_NE(errorOf(with(30, 1)).find("compression"), std::string::npos);
  EXPECT_NE(errorOf(with(14, 12)).find("header"), std::string::npos);
  EXPECT_NE(errorOf(with(18, 0)).find("size"), std::string::npos);
  EXPECT_NE(errorOf(with(18, static_cast<std::uint32_t>(-7))).find("size"), std::string::npos);
  EXPECT_NE(errorOf(with(22, 0)).find("size"), std::string::npos);
  EXPECT_NE(errorOf(with(18, 70000)).find("too large"), std::string::npos);
  EXPECT_NE(errorOf(with(22, 0x80000000u)).find("too large"), std::string::npos);
  EXPECT_NE(errorOf(with(26, 2, true)).find("planes"), std::string::npos);
  EXPECT_NE(errorOf(with(10, 0xFFFFFFF0u)).find("truncated"), std::string::npos);
  EXPECT_NE(errorOf(with(10, 20)).find("truncated"), std::string::npos); // rows inside the header
  // A height claiming more rows than the file holds asks for no memory it cannot fill.
  EXPECT_NE(errorOf(with(22, 60000)).find("truncated"), std::string::npos);
}

TEST(DecodeBmp, EveryCutShortFileIsRefusedCleanly) {
  const platform::Bytes good = encodeBmp(redFOnBlue(32));
  for (std::size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(
        errorOf(platform::Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length))).empty())
        << length;
}

} // namespace
} // namespace glimor::imaging
