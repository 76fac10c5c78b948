#include "fakes/fake_files.h"
#include "gif_test_decoder.h"
#include "imaging/colour_reduction.h"
#include "imaging/gif_encoder.h"
#include "test_images.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

using namespace testing;

platform::Bytes gifOf(const Bitmap& bitmap) {
  GifEncoder gif;
  gif.assign(bitmap);
  return gif.bytes();
}

// The colours a decoder shows, top row first.
std::vector<Rgb> shownColours(const DecodedGif& gif) {
  std::vector<Rgb> colours;
  for (std::uint8_t i : gif.indices)
    colours.push_back(static_cast<Rgb>(gif.colourTable[i * 3u]) << 16 | gif.colourTable[i * 3u + 1] << 8 |
                      gif.colourTable[i * 3u + 2]);
  return colours;
}

TEST(GifEncoder, OnePixelFileByteForByte) {
  const platform::Bytes file = gifOf(makeImage(1, 1, [](int, int) { return 0x102030u; }));
  platform::Bytes expected{'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0xF7, 0, 0, 0x10, 0x20, 0x30};
  for (int i = 1; i < 256; ++i) expected.insert(expected.end(), {0x80, 0x80, 0x80}); // grey filler
  expected.insert(expected.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x00});
  // Minimum code size 8; one block of clear code, index 0, end code at 9 bits each.
  expected.insert(expected.end(), {8, 4, 0x00, 0x01, 0x04, 0x04, 0, 0x3B});
  EXPECT_EQ(file, expected);
}

TEST(GifEncoder, RedFOnBlueDecodesToItsOwnPixels) {
  for (int depth : {24, 32}) {
    const Bitmap image = redFOnBlue(depth);
    const DecodedGif gif = decodeGif(gifOf(image));
    EXPECT_EQ(gif.width, 7);
    EXPECT_EQ(gif.height, 9);
    std::vector<Rgb> expected;
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 7; ++x) expected.push_back(rgbAt(image, x, y));
    EXPECT_EQ(shownColours(gif), expected);
    // Blue is the more frequent colour: entry 0; red entry 1; the rest grey.
    EXPECT_EQ(platform::Bytes(gif.colourTable.begin(), gif.colourTable.begin() + 9),
              (platform::Bytes{0, 0, 0xFF, 0xFF, 0, 0, 0x80, 0x80, 0x80}));
  }
}

TEST(GifEncoder, ColourTableAndIndicesAreThoseOfTheReduction) {
  const Bitmap photo = randomImage(90, 70, 8);
  const Bitmap reduced = reduceColours(photo);
  const DecodedGif gif = decodeGif(gifOf(photo));
  ASSERT_EQ(gif.colourTable.size(), 768u);
  for (std::size_t i = 0; i < 256; ++i) {
    const Rgb fromTable = static_cast<Rgb>(gif.colourTable[i * 3]) << 16 | gif.colourTable[i * 3 + 1] << 8 |
                          gif.colourTable[i * 3 + 2];
    ASSERT_EQ(fromTable, reduced.palette[i]) << i;
  }
  std::vector<std::uint8_t> topDown;
  for (int y = 69; y >= 0; --y)
    for (int x = 0; x < 90; ++x)
      topDown.push_back(reduced.pixels[reduced.stride() * static_cast<std::size_t>(y) + x]);
  EXPECT_EQ(gif.indices, topDown);
  for (std::size_t i = 0; i + 1 < gif.subBlockLengths.size(); ++i) ASSERT_EQ(gif.subBlockLengths[i], 255u);
}

TEST(GifEncoder, NothingToSaveAndUnreadableBitmapsFailWithTheirMessages) {
  fakes::FakeFiles files;
  GifEncoder empty;
  EXPECT_THROW(
      try { empty.saveToFile("/x.gif", files); } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "No GIF Data to write");
        throw;
      },
      EInvalidGraphicOperation);
  GifEncoder noPixels;
  noPixels.assign(Bitmap{4, 0, 24, {}, {}});
  EXPECT_THROW(noPixels.bytes(), EInvalidGraphicOperation);

  Bitmap cut = redFOnBlue();
  cut.pixels.resize(5);
  GifEncoder broken;
  broken.assign(cut);
  try {
    broken.saveToFile("/x.gif", files);
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
  // Wider than GIF's 16-bit size field: refused rather than written with a wrong size.
  GifEncoder tooWide;
  tooWide.assign(makeImage(65536, 1, [](int, int) { return 0u; }));
  EXPECT_THROW(tooWide.bytes(), EInvalidGraphic);
  EXPECT_TRUE(files.contents.empty());
}

} // namespace
} // namespace glimor::imaging
