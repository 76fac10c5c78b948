#include "capture/selection_geometry.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

TEST(SelectionGeometry, UpAndLeftDragNormalises) {
  FinishedSelection s = finishRectangle(300, 200, 100, 50, 1024, 768);
  EXPECT_EQ(s.rect, (Rect{100, 50, 300, 200}));
  EXPECT_FALSE(s.fullScreen);
  EXPECT_EQ(s.rect.width(), 200);
  EXPECT_EQ(s.rect.height(), 150);
  EXPECT_EQ(finishRectangle(100, 50, 300, 200, 1024, 768).rect, s.rect);
}

TEST(SelectionGeometry, NoWidthOrNoHeightSelectsTheWholePicture) {
  for (auto [x, y] : {std::pair{10, 10}, {10, 400}, {400, 10}}) {
    FinishedSelection s = finishRectangle(10, 10, x, y, 1024, 768);
    EXPECT_EQ(s.rect, (Rect{0, 0, 1024, 768}));
    EXPECT_TRUE(s.fullScreen);
  }
  EXPECT_EQ(glimoCaption(true), "Glimo FullScreen !");
  EXPECT_EQ(glimoCaption(false), "Glimo Selection !");
}

TEST(SelectionGeometry, AReleaseBeyondThePictureIsClamped) {
  EXPECT_EQ(finishRectangle(1000, 700, 1900, 1000, 1024, 768).rect, (Rect{1000, 700, 1024, 768}));
  EXPECT_EQ(finishRectangle(20, 30, -500, -40, 1024, 768).rect, (Rect{0, 0, 20, 30}));
}

// A primary monitor at 100 %, one at 150 % to its left and lower, and one at 200 % above its
// right half, with gaps between them (screen pixels).
const std::vector<Monitor> threeMonitors{
    {{0, 0, 1024, 768}, 96, true}, {{-800, 168, 0, 768}, 144, false}, {{512, -400, 1112, 0}, 192, false}};

TEST(SelectionGeometry, VirtualScreenHoldsEveryMonitorFromItsTopLeft) {
  EXPECT_EQ(virtualScreenOf(threeMonitors), (Rect{-800, -400, 1112, 768}));
  ScreenLayout all = layoutFor(threeMonitors, true);
  EXPECT_EQ(all.area, (Rect{-800, -400, 1112, 768}));
  EXPECT_EQ(all.monitors[1].bounds, (Rect{0, 568, 800, 1168}));
  EXPECT_EQ(all.monitors[2], (Monitor{{1312, 0, 1912, 400}, 192, false}));
  ScreenLayout primary = layoutFor(threeMonitors, false);
  EXPECT_EQ(primary.area, (Rect{0, 0, 1024, 768}));
  ASSERT_EQ(primary.monitors.size(), 1u);
  EXPECT_EQ(primary.monitors[0], threeMonitors[0]);

  EXPECT_EQ(monitorAt(all, 799, 568), 1);
  EXPECT_EQ(monitorAt(all, 800, 568), 0);
  EXPECT_EQ(monitorAt(all, 100, 100), 1) << "a gap belongs to the nearest monitor";
  EXPECT_EQ(monitorAt(all, 1900, 700), 0);
  EXPECT_EQ(monitorAt(ScreenLayout{}, 0, 0), -1);

  Picture p(1912, 1168, 0x808080);
  blackOutUncovered(p, all);
  EXPECT_EQ(p.at(0, 567), 0u);
  EXPECT_EQ(p.at(1311, 0), 0u);
  EXPECT_EQ(p.at(0, 568), 0x808080u);
  EXPECT_EQ(p.at(1911, 399), 0x808080u);
}

TEST(SelectionGeometry, AClickSelectsTheWholeMonitorUnderThePointer) {
  ScreenLayout all = layoutFor(threeMonitors, true);
  FinishedSelection left = finishRectangle(300, 700, 300, 700, 1912, 1168, all);
  EXPECT_EQ(left.rect, (Rect{0, 568, 800, 1168}));
  EXPECT_TRUE(left.fullScreen);
  EXPECT_EQ(finishRectangle(1500, 50, 1500, 300, 1912, 1168, all).rect, (Rect{1312, 0, 1912, 400}));
  EXPECT_EQ(finishRectangle(1900, 700, 1900, 700, 1912, 1168, all).rect, (Rect{800, 400, 1824, 1168}));
  // A drag across monitors is one rectangle of the picture.
  EXPECT_EQ(finishRectangle(700, 1000, 900, 300, 1912, 1168, all).rect, (Rect{700, 300, 900, 1000}));
}

// At 96 dpi the panel (180 x 35), the strip (202 x 26) and the hints (420 x 16) stand 2 pixels
// apart: 81 pixels in all.
TEST(SelectionGeometry, PanelStandsBesideTheSelectionAndWhollyOnItsMonitor) {
  ScreenLayout one = layoutFor({threeMonitors[0]}, true);
  EXPECT_EQ(panelPlacementFor(Rect{100, 50, 300, 200}, one), (PanelDock{{110, 202}, {99, 239}, {0, 267}}));
  EXPECT_EQ(panelPlacementFor(Rect{1000, 750, 1024, 768}, one),
            (PanelDock{{844, 667}, {822, 704}, {604, 732}}))
      << "no room below: above, each part moved onto the monitor";
  EXPECT_EQ(panelPlacementFor(Rect{0, 0, 1024, 768}, one), (PanelDock{{422, 685}, {411, 722}, {302, 750}}))
      << "no room around it: inside its bottom edge";
  // A 50 x 30 selection anywhere on the monitor keeps every pixel in sight.
  for (Point at : {Point{500, 300}, Point{0, 0}, Point{974, 738}, Point{3, 700}, Point{900, 20}}) {
    Rect s{at.x, at.y, at.x + 50, at.y + 30};
    PanelDock d = panelPlacementFor(s, one);
    for (Rect r :
         {Rect{d.panel.left, d.panel.top, d.panel.left + panelWidth, d.panel.top + panelHeight},
          Rect{d.strip.left, d.strip.top, d.strip.left + toolStripWidth, d.strip.top + toolStripHeight},
          Rect{d.hints.left, d.hints.top, d.hints.left + keyHintsWidth, d.hints.top + keyHintsHeight}}) {
      EXPECT_TRUE(r.right <= s.left || r.left >= s.right || r.bottom <= s.top || r.top >= s.bottom) << at.x;
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 1024 && r.bottom <= 768) << at.x;
    }
  }

  // At 150 % the parts are 270 x 53, 303 x 39 and 630 x 24, 3 pixels apart, on their monitor only.
  ScreenLayout all = layoutFor(threeMonitors, true);
  EXPECT_EQ(panelPlacementFor(Rect{700, 1100, 820, 1168}, all),
            (PanelDock{{530, 975, 144}, {497, 1031, 144}, {170, 1073, 144}}))
      << "the centre is on the left monitor: the parts stay off the primary one";
  EXPECT_EQ(panelPlacementFor(Rect{1312, 0, 1340, 30}, all),
            (PanelDock{{1312, 34, 192}, {1312, 108, 192}, {1312, 164, 192}}))
      << "hints wider than the monitor keep their left edge on it";
  EXPECT_EQ(panelPlacementFor(Rect{0, 0, 20, 20}, ScreenLayout{}),
            (PanelDock{{-80, 22}, {-91, 59}, {-200, 87}}))
      << "without monitors: as designed, under the selection";
}

TEST(SelectionGeometry, PublishNeedsTwentyByTwenty) {
  EXPECT_FALSE(glimoEnabled(Rect{0, 0, 19, 100}));
  EXPECT_FALSE(glimoEnabled(Rect{0, 0, 100, 19}));
  EXPECT_TRUE(glimoEnabled(Rect{5, 5, 25, 25}));
}

TEST(SelectionGeometry, CropNamesComeFromTheFolderOnly) {
  CropFileNames n = cropFileNamesFor("C:\\Tools\\renamed.exe");
  EXPECT_EQ(n.iniFileName, "C:\\Tools\\Glimor.ini");
  EXPECT_EQ(n.jpg, "C:\\Tools\\Glimor.jpg");
  EXPECT_EQ(n.bmp, "C:\\Tools\\Glimor.bmp");
  EXPECT_EQ(n.gif, "C:\\Tools\\Glimor.gif");
  EXPECT_EQ(n.png, "C:\\Tools\\Glimor.png");
}

} // namespace
} // namespace glimor::capture
