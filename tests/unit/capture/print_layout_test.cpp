#include "capture/print_layout.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

TEST(PrintLayout, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(mulDiv(600, 8, 72), 67); // 66.7
  EXPECT_EQ(mulDiv(5, 1, 2), 3);
  EXPECT_EQ(mulDiv(-5, 1, 2), -3);
  EXPECT_EQ(mulDiv(7, 1, 3), 2);
  EXPECT_EQ(mulDiv(2000000000, 2, 4), 1000000000); // 64-bit intermediate
  EXPECT_EQ(mulDiv(1, 1, 0), -1);
}

TEST(PrintLayout, PageOf4800At600Dpi) {
  EXPECT_EQ(titleFontHeight(600), 100);
  EXPECT_EQ(footerFontHeight(600), 67);
  Rect r = printedImageRect(4800, 100, 200, 150);
  EXPECT_EQ(r.left, 576);
  EXPECT_EQ(r.width(), 3648);
  EXPECT_EQ(r.top, 500);
  EXPECT_EQ(r.height(), 2736);
}

TEST(PrintLayout, ThinStripHeightTruncates) {
  EXPECT_EQ(printedImageRect(4800, 100, 1000, 1).height(), 3); // 3648 / 1000
  EXPECT_EQ(printedImageRect(1000, 10, 1000, 1).height(), 0);  // W = 760 < 1000
  EXPECT_EQ(centeredTextLeft(4800, 1201), 1799);
}

TEST(PrintLayout, FooterFollowsTheSystemSeparators) {
  EXPECT_EQ(footerText({2007, 3, 9, 14, 5}, '/', ':'), "3/9/07  14:05");
  EXPECT_EQ(footerText({2026, 12, 31, 0, 0}, '.', '.'), "12.31.26  0.00");
}

} // namespace
} // namespace glimor::capture
