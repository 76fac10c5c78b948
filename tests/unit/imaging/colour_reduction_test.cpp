#include "imaging/colour_histogram.h"
#include "imaging/colour_reduction.h"
#include "platform/error.h"
#include "reference_reduction.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <set>

namespace glimor::imaging {
namespace {

using namespace testing;

// The same picture at 32 bits, with noise in the unused byte.
Bitmap as32Bit(const Bitmap& image) {
  Bitmap result = makeImage(
      image.width, image.height, [&](int x, int y) { return rgbAt(image, x, y); }, 32);
  for (std::size_t i = 3; i < result.pixels.size(); i += 4)
    result.pixels[i] = static_cast<std::uint8_t>(i * 7);
  return result;
}

void expectSameAsReference(const Bitmap& image, const std::string& what) {
  const Bitmap fast = reduceColours(image);
  const ReferenceReduction slow = referenceReduce(image);
  const Bitmap from32 = reduceColours(as32Bit(image));
  EXPECT_EQ(from32.palette, slow.indexed.palette) << what << " at 32 bits";
  EXPECT_EQ(from32.pixels, slow.indexed.pixels) << what << " at 32 bits";
  EXPECT_EQ(fast.bitsPerPixel, 8) << what;
  EXPECT_EQ(fast.width, image.width) << what;
  EXPECT_EQ(fast.height, image.height) << what;
  EXPECT_EQ(fast.palette, slow.indexed.palette) << what;
  EXPECT_EQ(fast.pixels, slow.indexed.pixels) << what;
}

// `count` distinct random colours, each used at random places of a w x h image.
Bitmap imageOfColours(int width, int height, const std::vector<Rgb>& colours, std::uint32_t seed) {
  std::mt19937 random(seed);
  int next = 0;
  return makeImage(width, height, [&](int, int) {
    // Every colour once first (shuffled by position), then random repeats with a skew.
    if (next < static_cast<int>(colours.size())) return colours[static_cast<std::size_t>(next++)];
    const std::size_t a = random() % colours.size(), b = random() % colours.size();
    return colours[std::min(a, b)];
  });
}

std::vector<Rgb> distinctColours(std::size_t count, std::uint32_t seed, Rgb mask = 0xFFFFFF, Rgb add = 0) {
  std::mt19937 random(seed);
  std::set<Rgb> seen;
  std::vector<Rgb> colours;
  while (colours.size() < count) {
    const Rgb c = (static_cast<Rgb>(random()) & mask) | add;
    if (seen.insert(c).second) colours.push_back(c);
  }
  return colours;
}

TEST(ReduceColours, MatchesThePlainAlgorithmOnRandomImages) {
  for (std::size_t count : {1u, 2u, 17u, 255u, 256u, 257u, 300u, 1000u, 2048u, 2049u, 2050u, 2600u, 5000u}) {
    const auto colours = distinctColours(count, static_cast<std::uint32_t>(count));
    const int side = count > 2000 ? 90 : 60;
    expectSameAsReference(imageOfColours(side + 3, side, colours, 7), "colours " + std::to_string(count));
  }
  // Every pixel its own random colour: many bits have to go.
  for (std::uint32_t seed = 1; seed <= 3; ++seed)
    expectSameAsReference(randomImage(97 + static_cast<int>(seed), 61, seed),
                          "noise " + std::to_string(seed));
}

TEST(ReduceColours, MatchesThePlainAlgorithmAtEveryPrecisionLevel) {
  // Colours that differ only in their lowest bits make the fill succeed at chosen
  // levels: 1 to 5 come from full rescans, 6 and coarser from the counted table.
  struct Case {
    Rgb lowBits;
    std::size_t bases;
  };
  for (const Case& c : {Case{0x000001, 1500}, Case{0x010001, 1500}, Case{0x010101, 1100},
                        Case{0x010103, 1500}, Case{0x030303, 700}, Case{0x030303, 1500}, Case{0x070707, 1200},
                        Case{0x0F0F0F, 2000}, Case{0x3F3F3F, 40}}) {
    const auto bases = distinctColours(c.bases, static_cast<std::uint32_t>(c.lowBits), 0xFFFFFF & ~c.lowBits);
    std::mt19937 random(static_cast<std::uint32_t>(c.bases));
    std::vector<Rgb> colours;
    std::set<Rgb> seen;
    for (Rgb base : bases)
      for (int variant = 0; variant < 3; ++variant) {
        const Rgb colour = base | (static_cast<Rgb>(random()) & c.lowBits);
        if (seen.insert(colour).second) colours.push_back(colour);
      }
    expectSameAsReference(imageOfColours(120, 90, colours, 3), "low bits " + std::to_string(c.lowBits));
  }
}

TEST(ReduceColours, MatchesThePlainAlgorithmOnScreenAndPhotoLikeImages) {
  // Gradients, stripes and flat fields: long runs, ties between colours, row padding.
  expectSameAsReference(
      makeImage(101, 67, [](int x, int y) { return static_cast<Rgb>(x * 2 << 16 | y * 3 << 8 | (x ^ y)); }),
      "gradient");
  expectSameAsReference(
      makeImage(50, 50, [](int x, int y) { return (x / 5 + y / 5) % 2 ? 0xFFFFFFu : 0x000000u; }),
      "checkers");
  expectSameAsReference(makeImage(129, 40,
                                  [](int x, int y) {
                                    const double fx = x / 128.0, fy = y / 39.0;
                                    return static_cast<Rgb>(fx * 255) << 16 |
                                           static_cast<Rgb>(fy * 255) << 8 |
                                           static_cast<Rgb>((1 - fx * fy) * 255);
                                  }),
                        "smooth");
}

TEST(ReduceColours, SingleColourGivesThatColourThenGrey) {
  const Bitmap result = reduceColours(makeImage(5, 3, [](int, int) { return 0x123456u; }));
  ASSERT_EQ(result.palette.size(), 256u);
  EXPECT_EQ(result.palette[0], 0x123456u);
  for (std::size_t i = 1; i < 256; ++i) ASSERT_EQ(result.palette[i], 0x808080u) << i;
  EXPECT_EQ(result.stride(), 8u);
  EXPECT_EQ(result.pixels, platform::Bytes(24, 0)); // indices 0 and zero padding
}

TEST(ReduceColours, EqualCountsGoToTheColourMetFirstFromTheBottomRow) {
  // Top row green, bottom row red: red is met first in memory order.
  const Bitmap tie = reduceColours(makeImage(2, 2, [](int, int y) { return y == 0 ? 0x00FF00u : red; }));
  EXPECT_EQ(tie.palette[0], red);
  EXPECT_EQ(tie.palette[1], 0x00FF00u);
  // More frequent wins over met first: two blue pixels at the top beat one red at the bottom left.
  const Bitmap counts =
      reduceColours(makeImage(3, 2, [](int x, int y) { return y == 1 ? (x == 0 ? red : 0xFFFFFFu) : blue; }));
  EXPECT_EQ(counts.palette[0], blue);
  EXPECT_EQ(counts.palette[1], 0xFFFFFFu);
  EXPECT_EQ(counts.palette[2], red);
  EXPECT_EQ(counts.pixels[0], 2); // bottom left
  EXPECT_EQ(counts.pixels[4], 0); // top left
}

TEST(ReduceColours, FullPrecisionUpTo2049ColoursAndBlueFirstBeyond) {
  // Odd channel values everywhere; two colours differ only in blue's lowest bit.
  auto colours = distinctColours(2049, 99, 0xFEFEFE, 0x010101);
  const Rgb twin = colours[5] & ~1u;
  const Bitmap at2049 = reduceColours(imageOfColours(80, 60, colours, 1));
  EXPECT_TRUE(std::any_of(at2049.palette.begin(), at2049.palette.end(), [](Rgb c) { return c & 1; }));

  colours.push_back(twin);
  const Bitmap at2050 = reduceColours(imageOfColours(80, 60, colours, 1));
  EXPECT_TRUE(std::none_of(at2050.palette.begin(), at2050.palette.end(), [](Rgb c) { return c & 1; }));
  EXPECT_TRUE(std::any_of(at2050.palette.begin(), at2050.palette.end(), [](Rgb c) { return c & 0x010100; }));
}

TEST(ReduceColours, PhotoLikeImageKeepsOnlyTheHighBitsItsMasksAllow) {
  const Bitmap photo = randomImage(160, 120, 42);
  const Bitmap result = reduceColours(photo);
  const auto masks = referenceReduce(photo).redGreenBlueMasks;
  const Rgb mask = static_cast<Rgb>(masks[0]) << 16 | static_cast<Rgb>(masks[1]) << 8 | masks[2];
  EXPECT_NE(mask, 0xFFFFFFu);
  for (Rgb colour : result.palette) ASSERT_EQ(colour & ~mask, 0u) << std::hex << colour;
}

TEST(MaskOfLevel, ClearsBlueThenRedThenGreenOneBitAtATime) {
  using histogram::maskOfLevel;
  EXPECT_EQ(maskOfLevel(0), 0xFFFFFFu);
  EXPECT_EQ(maskOfLevel(1), 0xFFFFFEu);
  EXPECT_EQ(maskOfLevel(2), 0xFEFFFEu);
  EXPECT_EQ(maskOfLevel(3), 0xFEFEFEu);
  EXPECT_EQ(maskOfLevel(4), 0xFEFEFCu);
  EXPECT_EQ(maskOfLevel(6), 0xFCFCFCu);
  EXPECT_EQ(maskOfLevel(13), 0xF0F0E0u); // 11 bits left: at most 2048 colours
}

TEST(ReduceColours, RefusesOtherDepthsAndCutBitmaps) {
  Bitmap wrongDepth = redFOnBlue(32);
  wrongDepth.bitsPerPixel = 16;
  Bitmap cut = redFOnBlue(24);
  cut.pixels.resize(10);
  for (const Bitmap& bad : {wrongDepth, cut}) EXPECT_THROW(reduceColours(bad), Error);
}

} // namespace
} // namespace glimor::imaging
