#include "capture/selection_geometry.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

TEST(SelectionGeometry, UpAndLeftDragNormalisesAndCentresThePanel) {
  FinishedSelection s = finishRectangle(300, 200, 100, 50, 1024, 768);
  EXPECT_EQ(s.rect, (Rect{100, 50, 300, 200}));
  EXPECT_FALSE(s.fullScreen);
  EXPECT_EQ(s.rect.width(), 200);
  EXPECT_EQ(s.rect.height(), 150);
  EXPECT_EQ(panelPositionFor(s.rect), (PanelPosition{110, 108}));
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

TEST(SelectionGeometry, PanelIsNotKeptOnScreen) {
  EXPECT_EQ(panelPositionFor(Rect{0, 0, 20, 20}), (PanelPosition{-80, -7}));
  // Truncation toward zero for odd sizes.
  EXPECT_EQ(panelPositionFor(Rect{0, 0, 1, 1}), (PanelPosition{-90, -17}));
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
