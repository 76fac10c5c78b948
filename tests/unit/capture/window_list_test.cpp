#include "capture/screen_terms.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

// Two overlapping top-level windows, the upper one with a panel holding a button, and a gap
// between them and a third window.
const std::vector<WindowBox> desktop{
    {{100, 100, 300, 250}, {{{110, 130, 290, 240}, {{{120, 200, 180, 230}, {}}}}}},
    {{50, 50, 200, 200}, {{{60, 60, 190, 90}, {}}}},
    {{400, 50, 500, 150}, {}},
};

TEST(WindowListTest, TheTopmostWindowHoldingThePointAndItsControlsInward) {
  EXPECT_EQ(windowChainAt(desktop, 150, 150), (std::vector<Rect>{{100, 100, 300, 250}, {110, 130, 290, 240}}))
      << "the upper window wins where they overlap";
  EXPECT_EQ(windowChainAt(desktop, 120, 200),
            (std::vector<Rect>{{100, 100, 300, 250}, {110, 130, 290, 240}, {120, 200, 180, 230}}));
  EXPECT_EQ(windowChainAt(desktop, 70, 70), (std::vector<Rect>{{50, 50, 200, 200}, {60, 60, 190, 90}}))
      << "the lower window where the upper one is not";
  EXPECT_EQ(windowChainAt(desktop, 299, 249), (std::vector<Rect>{{100, 100, 300, 250}}));
  EXPECT_TRUE(windowChainAt(desktop, 300, 100).empty()) << "right and bottom are outside";
  EXPECT_TRUE(windowChainAt(desktop, 350, 100).empty()) << "a gap";
  EXPECT_TRUE(windowChainAt({}, 0, 0).empty());
}

// A capture whose top-left lies left of and above the primary monitor: screen (-100, -50) is
// picture (0, 0); what lies beyond the captured area, or beyond a control's parent, is cut off.
TEST(WindowListTest, WindowsMoveIntoPicturePixelsClippedToThePictureAndTheirParents) {
  std::vector<WindowBox> onScreen{
      {{-120, -60, 20, 40}, {{{-110, 0, 60, 30}, {}}, {{30, 0, 40, 10}, {}}}},
      {{500, 0, 900, 300}, {}},
      {{-300, 0, -200, 50}, {}},
  };
  std::vector<WindowBox> expected{
      {{0, 0, 120, 90}, {{{0, 50, 120, 80}, {}}}},
      {{600, 50, 700, 300}, {}},
  };
  EXPECT_EQ(windowsInPicture(onScreen, {-100, -50, 600, 250}), expected);
}

} // namespace
} // namespace glimor::capture
