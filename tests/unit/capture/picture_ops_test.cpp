#include "capture/picture_ops.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

constexpr std::uint32_t rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
}

TEST(PictureOps, BrightnessClampsEveryChannelAndKeepsTheUnusedByte) {
  Picture p(3, 2, rgb(200, 100, 50));
  p.at(1, 1) = 0xAA000000 | rgb(250, 5, 128);
  adjustBrightness(p, -115);
  EXPECT_EQ(p.at(0, 0), rgb(85, 0, 0));
  EXPECT_EQ(p.at(1, 1), 0xAA000000 | rgb(135, 0, 13));
  adjustBrightness(p, 200);
  EXPECT_EQ(p.at(0, 0), rgb(255, 200, 200));
}

TEST(PictureOps, CopyRectTouchesOnlyTheRectangle) {
  Picture source(4, 3, 1), target(4, 3, 2);
  copyRect(source, target, Rect{1, 1, 3, 2});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(target.at(x, y), (y == 1 && x >= 1 && x < 3) ? 1u : 2u) << x << "," << y;
}

TEST(PictureOps, CropIsAPlainCopyWithoutMirroring) {
  Picture p(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) p.at(x, y) = static_cast<std::uint32_t>(y * 10 + x);
  Picture crop = cropOf(p, Rect{1, 2, 4, 4});
  ASSERT_EQ(crop.width, 3);
  ASSERT_EQ(crop.height, 2);
  EXPECT_EQ(crop.at(0, 0), 21u);
  EXPECT_EQ(crop.at(2, 1), 33u);
}

TEST(PictureOps, RubberBandIsDashedAndLeavesTheReleasePointAlone) {
  Picture p(60, 40, rgb(1, 2, 3));
  drawRubberBand(p, 5, 5, 50, 30);
  // The top edge: 18 black, then 6 white, then black again.
  EXPECT_EQ(p.at(5, 5), 0u);
  EXPECT_EQ(p.at(22, 5), 0u);
  EXPECT_EQ(p.at(23, 5), 0xFFFFFFu);
  EXPECT_EQ(p.at(28, 5), 0xFFFFFFu);
  EXPECT_EQ(p.at(29, 5), 0u);
  // Lines are drawn from both corners, each without its end pixel.
  EXPECT_EQ(p.at(50, 30), 0u);
  EXPECT_EQ(p.at(20, 20), rgb(1, 2, 3)) << "inside untouched";
  EXPECT_EQ(p.at(55, 35), rgb(1, 2, 3)) << "outside untouched";
}

TEST(PictureOps, RubberBandOffThePictureIsClipped) {
  Picture p(10, 10, 7);
  drawRubberBand(p, 5, 5, 500, -300);
  EXPECT_EQ(p.at(5, 5), 0u);
  EXPECT_EQ(p.at(0, 0), 7u);
}

} // namespace
} // namespace glimor::capture
