#include "imaging/bmp_writer.h"
#include "imaging/little_endian.h"
#include "test_images.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

using namespace testing;

struct Header {
  std::uint32_t fileSize, offset, headerSize, width, height, planes, depth, compression, imageSize, xRes,
      yRes, coloursUsed, important, reserved;
};

Header headerOf(const platform::Bytes& file) {
  const std::uint8_t* p = file.data();
  return {le::get32(p + 2),  le::get32(p + 10), le::get32(p + 14), le::get32(p + 18), le::get32(p + 22),
          le::get16(p + 26), le::get16(p + 28), le::get32(p + 30), le::get32(p + 34), le::get32(p + 38),
          le::get32(p + 42), le::get32(p + 46), le::get32(p + 50), le::get32(p + 6)};
}

TEST(EncodeBmp, TrueColourCropHasOffset54AndFourBytesPerPixel) {
  const Bitmap crop = redFOnBlue(32);
  const platform::Bytes file = encodeBmp(crop);
  ASSERT_EQ(file.size(), 54u + 4 * 7 * 9);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  const Header h = headerOf(file);
  EXPECT_EQ(h.fileSize, file.size());
  EXPECT_EQ(h.reserved, 0u);
  EXPECT_EQ(h.offset, 54u);
  EXPECT_EQ(h.headerSize, 40u);
  EXPECT_EQ(h.width, 7u);
  EXPECT_EQ(h.height, 9u); // positive: bottom-up
  EXPECT_EQ(h.planes, 1u);
  EXPECT_EQ(h.depth, 32u);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_EQ(h.imageSize, 4u * 7 * 9);
  EXPECT_EQ(h.xRes + h.yRes + h.coloursUsed + h.important, 0u);
  // The rows exactly as held: the first stored pixel is the bottom-left one (blue).
  EXPECT_TRUE(std::equal(crop.pixels.begin(), crop.pixels.end(), file.begin() + 54));
  EXPECT_EQ(file[54], 0xFF);
  EXPECT_EQ(file[56], 0x00);
}

TEST(EncodeBmp, RowSizeOf24And16BitCropsIsPaddedToFourBytes) {
  const Bitmap crop24 = redFOnBlue(24);
  const platform::Bytes file24 = encodeBmp(crop24);
  EXPECT_EQ(headerOf(file24).imageSize, 24u * 9); // 21 bytes a row, padded to 24
  EXPECT_EQ(headerOf(file24).fileSize, 54u + 24 * 9);
  EXPECT_EQ(headerOf(file24).depth, 24u);

  Bitmap crop16;
  crop16.width = 3;
  crop16.height = 2;
  crop16.bitsPerPixel = 16;
  crop16.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  const platform::Bytes file16 = encodeBmp(crop16);
  const Header h = headerOf(file16);
  EXPECT_EQ(h.depth, 16u);
  EXPECT_EQ(h.compression, 0u); // 5-5-5 without masks
  EXPECT_EQ(h.imageSize, 16u);
  EXPECT_EQ(h.offset, 54u);
  EXPECT_TRUE(std::equal(crop16.pixels.begin(), crop16.pixels.end(), file16.begin() + 54));
}

TEST(EncodeBmp, PaletteDepthsCarryAFullColourTable) {
  Bitmap crop;
  crop.width = 2;
  crop.height = 1;
  crop.bitsPerPixel = 8;
  crop.palette = {0x112233, 0xAABBCC}; // shorter than 256: the rest is black
  crop.pixels = {1, 0, 0, 0};
  const platform::Bytes file = encodeBmp(crop);
  const Header h = headerOf(file);
  EXPECT_EQ(h.coloursUsed, 256u);
  EXPECT_EQ(h.offset, 54u + 1024);
  EXPECT_EQ(h.fileSize, 54u + 1024 + 4);
  EXPECT_EQ(file.size(), h.fileSize);
  const platform::Bytes firstTwo(file.begin() + 54, file.begin() + 62);
  EXPECT_EQ(firstTwo, (platform::Bytes{0x33, 0x22, 0x11, 0, 0xCC, 0xBB, 0xAA, 0}));
  EXPECT_EQ(file[62 + 4 * 253], 0);
  EXPECT_EQ(file[54 + 1024], 1);

  Bitmap mono;
  mono.width = 9;
  mono.height = 2;
  mono.bitsPerPixel = 1;
  mono.palette = {0x000000, 0xFFFFFF};
  mono.pixels.assign(8, 0xAA);
  const Header m = headerOf(encodeBmp(mono));
  EXPECT_EQ(m.coloursUsed, 2u);
  EXPECT_EQ(m.offset, 54u + 8);
  EXPECT_EQ(m.imageSize, 8u);
}

} // namespace
} // namespace glimor::imaging
