#include "capture/selection_window.h"
#include "fakes/fake_selection_view.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

constexpr std::uint32_t rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
}

struct SelectionWindowTest : ::testing::Test {
  CaptureState state;
  fakes::FakeSelectionView view;
  bool fade = true;
  int confirms = 0, prints = 0, cancels = 0, saves = 0;
  SelectionWindow window{
      state, view, [this] { return fade; }, "C:\\Apps\\Glimor.exe",
      PanelActions{[this] { ++confirms; }, [this] { ++prints; }, [this] { ++cancels; }, [this] { ++saves; }}};

  SelectionWindowTest() {
    state.snapshot = Picture(400, 300, rgb(200, 100, 50));
    state.p = state.snapshot;
  }
  void drag(int x0, int y0, int x1, int y1) {
    window.onMouseDown(x0, y0);
    window.onMouseMove(x1, y1);
    window.onMouseUp(x1, y1);
  }
};

TEST_F(SelectionWindowTest, FadeDarkensOutsideInFiveStepsAndKeepsInside) {
  std::vector<std::uint32_t> outsideAfterEachStep;
  view.onRepaint = [&] { outsideAfterEachStep.push_back(state.p.at(0, 0)); };
  drag(300, 200, 100, 50);
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200}));
  ASSERT_GE(outsideAfterEachStep.size(), 5u);
  EXPECT_EQ(outsideAfterEachStep[1], rgb(179, 79, 29)); // -21 (index 0 is the rubber band)
  EXPECT_EQ(outsideAfterEachStep[2], rgb(157, 57, 7));  // -43
  EXPECT_EQ(state.p.at(0, 0), rgb(85, 0, 0));           // -115 in all
  EXPECT_EQ(state.p.at(299, 199), rgb(200, 100, 50)) << "right and bottom are exclusive";
  EXPECT_EQ(state.p.at(300, 199), rgb(85, 0, 0));
  EXPECT_EQ(state.p.at(100, 50), rgb(200, 100, 50)) << "no rubber band left inside";
  EXPECT_EQ(state.p.at(300, 200), rgb(85, 0, 0));
  EXPECT_EQ(view.slept, 150u);
  EXPECT_EQ(view.panelLeft, 110);
  EXPECT_EQ(view.panelTop, 108);
  EXPECT_TRUE(view.panelVisible);
  EXPECT_EQ(view.glimoCaption, "Glimo Selection !");
  EXPECT_TRUE(view.glimoEnabled);
  EXPECT_EQ(state.files.gif, "C:\\Apps\\Glimor.gif");
  EXPECT_FALSE(state.drawing);
}

TEST_F(SelectionWindowTest, WithoutFadeThePictureIsTheCleanCapture) {
  fade = false;
  drag(10, 10, 40, 40);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);
  EXPECT_EQ(view.slept, 0u);
}

TEST_F(SelectionWindowTest, AClickSelectsTheWholeScreenWithoutFading) {
  window.onMouseDown(50, 60);
  window.onMouseUp(50, 60);
  EXPECT_EQ(state.selection, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(view.glimoCaption, "Glimo FullScreen !");
  EXPECT_TRUE(view.glimoEnabled);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);
}

TEST_F(SelectionWindowTest, SmallSelectionsCannotBePublished) {
  drag(10, 10, 29, 40);
  EXPECT_FALSE(view.glimoEnabled);
  drag(10, 10, 30, 30);
  EXPECT_TRUE(view.glimoEnabled);
}

TEST_F(SelectionWindowTest, RubberBandFollowsTheMouseOnlyWhileDrawing) {
  window.onMouseMove(100, 100);
  EXPECT_EQ(view.repaints, 0);
  window.onMouseDown(10, 10);
  EXPECT_FALSE(view.panelVisible);
  window.onMouseMove(100, 100);
  EXPECT_EQ(state.p.at(10, 10), 0u);
  window.onMouseMove(50, 50);
  EXPECT_EQ(state.p.at(99, 10), rgb(200, 100, 50)) << "the previous band is gone";
  EXPECT_EQ(state.p.at(10, 10), 0u);
  EXPECT_EQ(state.snapshot.at(10, 10), rgb(200, 100, 50)) << "the snapshot stays clean";
}

TEST_F(SelectionWindowTest, PressesDuringTheFadeAreIgnored) {
  view.pendingMessages = [&] {
    window.onMouseDown(1, 1);
    window.onMouseUp(2, 2);
  };
  drag(300, 200, 100, 50);
  view.pendingMessages = nullptr;
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200}));
  EXPECT_EQ(view.panelLeft, 110);

  // A press during the fade whose release comes after it: both are dropped.
  view.pendingMessages = [&] { window.onMouseDown(5, 5); };
  drag(300, 200, 100, 50);
  view.pendingMessages = nullptr;
  window.onMouseUp(390, 290);
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200}));
  drag(20, 30, 120, 130);
  EXPECT_EQ(state.selection, (Rect{20, 30, 120, 130})) << "the next press is taken again";
}

TEST_F(SelectionWindowTest, PanelButtonsRunTheAttachedActions) {
  window.onGlimoItClick(); // before any press: only marks the selection
  EXPECT_TRUE(state.confirmed);
  EXPECT_EQ(confirms, 0);
  window.onCancelClick();
  EXPECT_EQ(cancels, 0);
  drag(10, 10, 50, 50);
  window.onGlimoItClick();
  window.onPrintClick();
  window.onCancelClick();
  window.onSaveClick();
  EXPECT_EQ(confirms, 1);
  EXPECT_EQ(prints, 1);
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(saves, 1);
}

TEST_F(SelectionWindowTest, EscAndDoubleClickClose) {
  view.open = true;
  window.onKeyPress('a');
  EXPECT_TRUE(view.open);
  window.onKeyPress(27);
  EXPECT_FALSE(view.open);
  view.open = true;
  window.onDoubleClick();
  EXPECT_FALSE(view.open);
  state.drawing = true;
  window.onClose();
  EXPECT_FALSE(state.drawing);
}

} // namespace
} // namespace glimor::capture
