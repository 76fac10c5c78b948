#include "imaging/bitmap.h"
#include "platform/error.h"
#include "test_images.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

using namespace testing;

TEST(Bitmap, StrideRoundsRowsUpToFourBytes) {
  EXPECT_EQ(Bitmap::strideOf(1, 24), 4u);
  EXPECT_EQ(Bitmap::strideOf(5, 24), 16u); // 15 bytes + 1 padding
  EXPECT_EQ(Bitmap::strideOf(3, 16), 8u);
  EXPECT_EQ(Bitmap::strideOf(7, 32), 28u);
  EXPECT_EQ(Bitmap::strideOf(33, 1), 8u);
  EXPECT_EQ(Bitmap::strideOf(9, 4), 8u);
}

TEST(ToBgr24, KeepsPixelsRowsAndChannelsOf32BitInput) {
  const Bitmap source = redFOnBlue(32);
  const Bitmap result = toBgr24(source);
  EXPECT_EQ(result.bitsPerPixel, 24);
  EXPECT_EQ(result.width, 7);
  EXPECT_EQ(result.height, 9);
  ASSERT_EQ(result.pixels.size(), 24u * 9);
  EXPECT_EQ(result.pixels, redFOnBlue(24).pixels); // padding included, and it is 0
  EXPECT_EQ(rgbAt(result, 1, 1), red);
  EXPECT_EQ(rgbAt(result, 6, 8), blue);
}

TEST(ToBgr24, Expands555WordsSoThatFullChannelsStayFull) {
  Bitmap source;
  source.width = 3;
  source.height = 1;
  source.bitsPerPixel = 16;
  // Words: white, pure red (bits 14-10), blue 1 and green 16; bit 15 set on the last to show it is ignored.
  source.pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x01, 0x82, 0, 0};
  const Bitmap result = toBgr24(source);
  EXPECT_EQ(rgbAt(result, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(rgbAt(result, 1, 0), 0xFF0000u);
  EXPECT_EQ(rgbAt(result, 2, 0), 0x008408u); // green 16 -> 0x84, blue 1 -> 0x08
}

TEST(ToBgr24, LooksUpPaletteIndicesLeftmostPixelInHighBits) {
  Bitmap source;
  source.width = 3;
  source.height = 2;
  source.bitsPerPixel = 4;
  source.palette.assign(16, 0);
  source.palette[1] = 0x112233;
  source.palette[2] = 0xA0B0C0;
  source.pixels = {0x12, 0x00, 0, 0, /* top row: */ 0x21, 0x20, 0, 0};
  const Bitmap result = toBgr24(source);
  EXPECT_EQ(rgbAt(result, 0, 1), 0x112233u);
  EXPECT_EQ(rgbAt(result, 1, 1), 0xA0B0C0u);
  EXPECT_EQ(rgbAt(result, 2, 1), 0u);
  EXPECT_EQ(rgbAt(result, 0, 0), 0xA0B0C0u);
  EXPECT_EQ(rgbAt(result, 2, 0), 0xA0B0C0u);
}

TEST(ToBgr24, RefusesBitmapsWhosePixelsDoNotFillTheirSize) {
  Bitmap shortBuffer = redFOnBlue(32);
  shortBuffer.pixels.pop_back();
  Bitmap oddDepth = redFOnBlue(24);
  oddDepth.bitsPerPixel = 12;
  for (const Bitmap& bad : {shortBuffer, oddDepth}) {
    try {
      toBgr24(bad);
      FAIL() << "accepted";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), "Bitmap image is not valid");
    }
  }
}

} // namespace
} // namespace glimor::imaging
