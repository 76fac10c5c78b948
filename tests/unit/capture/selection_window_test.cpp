#include "capture/picture_ops.h"
#include "capture/selection_window.h"
#include "fakes/fake_clipboard.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_profile.h"
#include "fakes/fake_selection_view.h"
#include "fakes/fake_text_glyphs.h"

#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

constexpr std::uint32_t rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
}

struct SelectionWindowTest : ::testing::Test {
  CaptureState state;
  fakes::FakeSelectionView view;
  fakes::FakeTextGlyphs glyphs;
  fakes::FakeMessages messages;
  fakes::FakeProfile profile;
  fakes::FakePictureClipboard clipboard;
  bool fade = true;
  int confirms = 0, prints = 0, cancels = 0, saves = 0;
  std::function<void()> actionsConfirm;
  SelectionWindow window{state,
                         view,
                         [this] { return fade; },
                         "C:\\Apps\\Glimor.exe",
                         PanelActions{[this] {
                                        ++confirms;
                                        if (actionsConfirm) actionsConfirm();
                                      },
                                      [this] { ++prints; }, [this] { ++cancels; }, [this] { ++saves; }},
                         MarkPlatform{glyphs, messages, profile, clipboard}};

  SelectionWindowTest() {
    state.snapshot = Picture(400, 300, rgb(200, 100, 50));
    state.p = state.snapshot;
    profile.values[{"Options", "Magnifier"}] = "0"; // MagnifierTest has it
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
  EXPECT_EQ(view.panelTop, 202) << "under the selection";
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
  for (Point at : {Point{399, 5}, Point{0, 299}, Point{200, 10}, Point{120, 130}}) {
    view.repaintedParts.clear();
    window.onMouseMove(at.x, at.y);
  }
  Picture expected = state.snapshot;
  drawRubberBand(expected, 10, 10, 120, 130);
  EXPECT_EQ(state.p.pixels, expected.pixels) << "nothing of the earlier bands is left";
  int repainted = 0;
  for (const Rect& r : view.repaintedParts) repainted += r.width() * r.height();
  EXPECT_LE(repainted, 4 * (191 + 121)) << "a move repaints the band's lines, old and new";
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
  window.confirmSelection(); // before any press: only marks the selection
  EXPECT_TRUE(state.confirmed);
  EXPECT_EQ(confirms, 0);
  window.onCancelClick();
  EXPECT_EQ(cancels, 0);
  drag(10, 10, 50, 50);
  window.confirmSelection();
  window.onPrintClick();
  window.onCancelClick();
  window.onSaveClick();
  EXPECT_EQ(confirms, 1);
  EXPECT_EQ(prints, 1);
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(saves, 1);
}

TEST_F(SelectionWindowTest, EscCloses) {
  view.open = true;
  window.onKeyPress('a');
  EXPECT_TRUE(view.open);
  window.onKeyPress(27);
  EXPECT_FALSE(view.open);
  EXPECT_TRUE(messages.questions.empty()) << "nothing to lose, nothing asked";
  state.drawing = true;
  window.onClose();
  EXPECT_FALSE(state.drawing);
}

// The arrows move the pointer (the window then gets the move from the system); Enter ends a drag
// at the pointer, and the button's release that follows changes nothing.
TEST_F(SelectionWindowTest, ArrowsNudgeThePointerAndEnterEndsTheDragThere) {
  fade = false;
  view.pointerAt = {5, 298};
  window.onArrowKey(Arrow::Left, true);
  window.onArrowKey(Arrow::Down, false);
  EXPECT_EQ(view.pointerAt, (Point{0, 299})) << "kept on the picture";
  window.onMouseDown(100, 50);
  view.pointerAt = {250, 150};
  window.onArrowKey(Arrow::Right, true);
  view.pointerAt = {250, 150}; // a system that moves its pointer late still tells the old place
  window.onArrowKey(Arrow::Right, false);
  window.onArrowKey(Arrow::Up, false);
  EXPECT_EQ(view.pointerAt, (Point{261, 149}));
  window.onMouseMove(261, 149);
  window.onKeyPress('\r');
  EXPECT_EQ(state.selection, (Rect{100, 50, 261, 149}));
  EXPECT_TRUE(view.panelVisible);
  EXPECT_EQ(confirms, 0) << "Enter ended the drag; it did not publish yet";
  window.onMouseUp(300, 200);
  EXPECT_EQ(state.selection, (Rect{100, 50, 261, 149}));
  window.onKeyPress('\r');
  EXPECT_EQ(confirms, 1);
}

// The magnifier while selecting, on a picture whose every pixel is its own colour.
struct MagnifierTest : SelectionWindowTest {
  MagnifierTest() {
    fade = false;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x) state.snapshot.at(x, y) = rgb(x % 256, y % 256, x / 256 * 16 + y / 256);
    state.p = state.snapshot;
    state.screen = {{-400, 100, 0, 400}, {{{0, 0, 200, 300}, 96, false}, {{200, 0, 400, 300}, 96, false}}};
    profile.values.erase({"Options", "Magnifier"});
    view.pointerAt = {20, 30};
    window.onShow();
  }
  int differing() {
    int n = 0;
    for (std::size_t i = 0; i < state.p.pixels.size(); ++i)
      n += state.p.pixels[i] != state.snapshot.pixels[i];
    return n;
  }
};

TEST_F(MagnifierTest, ShowsThePixelsAroundThePointerBesideItAndMovesWithoutATrace) {
  Rect box{44, 54, 166, 192}; // right of and below the pointer (20, 30)
  // The lens: pixel (20 + dx, 30 + dy) as the block at 1 + (dx + 7) * 8 inside the frame.
  EXPECT_EQ(state.p.at(44 + 1 + 3 * 8 + 2, 54 + 1 + 10 * 8 + 2), state.snapshot.at(16, 33));
  EXPECT_EQ(state.p.at(44 + 1 + 7 * 8 + 3, 54 + 1 + 7 * 8), 0xFF2020u) << "the pointer's pixel outlined";
  EXPECT_NE(state.p.at(44 + 1 + 3 * 8 + 7, 54 + 1 + 10 * 8 + 2), state.snapshot.at(16, 33)) << "the grid";
  EXPECT_EQ(state.p.at(box.left, 100), 0u) << "the frame";
  EXPECT_EQ(glyphs.rendered.back(), "-380, 130") << "screen coordinates";

  window.onMouseMove(190, 290); // at the monitor's corner: left of and above the pointer
  EXPECT_EQ(view.repaintedParts, (std::vector<Rect>{box, {44, 128, 166, 266}}));
  window.onMouseMove(220, 290); // the next monitor: its own left edge holds it
  EXPECT_EQ(view.repaintedParts.back(), (Rect{244, 128, 366, 266}));
  EXPECT_EQ(differing(), 122 * 138) << "only the magnifier differs from the capture";
  for (Point at : {Point{0, 0}, Point{399, 299}, Point{199, 150}, Point{100, 299}}) {
    window.onMouseMove(at.x, at.y);
    Rect b = view.repaintedParts.back();
    int near = Magnifier::reach + 16; // the lens's reach and more stay uncovered
    EXPECT_TRUE(b.right <= at.x - near || b.left > at.x + near || b.bottom <= at.y - near ||
                b.top > at.y + near)
        << at.x << "," << at.y;
    int monitor = at.x < 200 ? 0 : 200;
    EXPECT_TRUE(b.left >= monitor && b.right <= monitor + 200 && b.top >= 0 && b.bottom <= 300) << at.x;
  }
}

TEST_F(MagnifierTest, TellsTheDragsSizeLeavesNothingInTheSelectionAndZKeepsItHidden) {
  window.onMouseDown(50, 60);
  window.onMouseMove(170, 150);
  EXPECT_EQ(glyphs.rendered.back(), "120 x 90");
  window.onMouseUp(170, 150);
  EXPECT_EQ(differing(), 0) << "the finished selection is the capture alone";
  window.onMouseMove(100, 100);
  EXPECT_EQ(differing(), 0) << "no magnifier over a finished selection";

  window.onShow();
  window.onKeyPress('z');
  EXPECT_EQ(differing(), 0);
  EXPECT_EQ(profile.read("Options", "Magnifier"), "0");
  window.onShow(); // the next capture
  window.onMouseMove(100, 100);
  EXPECT_EQ(differing(), 0);
  window.onKeyPress('Z');
  EXPECT_GT(differing(), 0);
}

// Snapping to the windows on the screen: a window at (50, 40) with a control holding another.
struct SnapTest : SelectionWindowTest {
  static constexpr std::uint32_t outer = 0x1E90FF, inner = 0xFFFFFF;
  const Rect frame{50, 40, 250, 200}, control{60, 60, 160, 120}, button{70, 70, 100, 100};
  SnapTest() {
    state.windows = {{frame, {{control, {{button, {}}}}}}};
    view.open = true;
    window.onShow();
  }
  void click(int x, int y) {
    window.onMouseMove(x, y);
    window.onMouseDown(x, y);
    window.onMouseUp(x, y);
  }
  // The outline lies on the rectangle's four outermost rings, three blue and one white, and
  // nowhere else.
  bool outlined(const Rect& r) const {
    return state.p.at(r.left, r.top) == outer && state.p.at(r.right - 1, r.bottom - 1) == outer &&
           state.p.at(r.left + 2, r.bottom - 3) == outer && state.p.at(r.left + 3, r.bottom - 4) == inner &&
           state.p.at(r.right - 4, r.top + 5) == inner && state.p.at(r.left + 4, r.top + 4) != inner;
  }
};

TEST_F(SnapTest, TheWindowUnderThePointerIsOutlinedAndAClickSelectsIt) {
  window.onMouseMove(80, 150);
  EXPECT_TRUE(outlined(frame));
  for (const Rect& part : view.repaintedParts)
    EXPECT_TRUE(part.left >= frame.left && part.right <= frame.right && part.top >= frame.top &&
                part.bottom <= frame.bottom)
        << "only the outline is repainted";
  window.onMouseMove(350, 250);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels) << "off the window the outline is gone";

  click(80, 150);
  EXPECT_EQ(state.selection, frame);
  EXPECT_EQ(view.glimoCaption, "Glimo Selection !");
  EXPECT_EQ(state.p.at(0, 0), rgb(85, 0, 0)) << "faded as after a drag";
  EXPECT_EQ(state.p.at(50, 40), rgb(200, 100, 50)) << "no outline in the selection";

  // Where no window is, a click takes the monitor (here: the whole picture), and a drag over a
  // window selects the drag.
  // A double click is two clicks: the window stays selected and the capture open.
  fade = false;
  click(80, 150);
  click(80, 150);
  EXPECT_EQ(state.selection, frame);
  EXPECT_TRUE(view.open);
  fade = true;

  click(350, 250);
  EXPECT_EQ(state.selection, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(view.glimoCaption, "Glimo FullScreen !");
  drag(80, 150, 120, 180);
  EXPECT_EQ(state.selection, (Rect{80, 150, 120, 180}));
}

TEST_F(SnapTest, WheelAndTabStepIntoTheControlsAndBackOutOverAFadedPicture) {
  drag(10, 10, 30, 30); // a selection elsewhere: the picture around it is darkened
  Picture faded = state.p;
  window.onMouseMove(80, 80);
  EXPECT_TRUE(outlined(frame));
  window.onWheel(1);
  EXPECT_TRUE(outlined(control));
  EXPECT_EQ(state.p.at(50, 40), faded.at(50, 40)) << "what the outline covered comes back, darkened";
  window.onWheel(5);
  EXPECT_TRUE(outlined(button)) << "no deeper than the innermost";
  window.onWheel(-1);
  window.onMouseMove(150, 100); // in the control, beside the button
  EXPECT_TRUE(outlined(control));
  window.onKeyPress('\t');
  EXPECT_TRUE(outlined(frame)) << "from the innermost, Tab goes back to the window";
  window.onMouseMove(80, 80);
  window.onKeyPress('\t');
  window.onKeyPress('\t');
  EXPECT_TRUE(outlined(button));
  window.onMouseMove(350, 250);
  EXPECT_EQ(state.p.pixels, faded.pixels);

  click(80, 80);
  EXPECT_EQ(state.selection, button);
  // With a drawing tool chosen the pointer draws: nothing is outlined, the wheel sizes the tool.
  window.onKeyPress('r');
  Picture before = state.p;
  window.onMouseMove(200, 180);
  window.onWheel(1);
  EXPECT_EQ(state.p.pixels, before.pixels);
}

// The magnifier stands over the outline: moving across the window's edge, stepping in and out, and
// Z leave no pixel of either behind.
TEST_F(SnapTest, OutlineAndMagnifierTogetherLeaveNoTrace) {
  profile.values.erase({"Options", "Magnifier"});
  window.onShow();
  for (Point at : {Point{60, 50}, Point{45, 45}, Point{62, 62}, Point{240, 190}, Point{48, 150}}) {
    window.onMouseMove(at.x, at.y);
    window.onWheel(1);
    window.onKeyPress('\t');
  }
  window.onMouseMove(45, 45);
  window.onKeyPress('z');
  window.onMouseMove(350, 250);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);
}

// The drawing tools, once a selection is shown.
struct MarksTest : SelectionWindowTest {
  Picture atConfirm;
  MarksTest() {
    fade = false;
    view.open = true;
    window.onShow();
    drag(100, 50, 300, 200);
    view.repaintedParts.clear();
  }
  void key(char k) { window.onKeyPress(k); }
  void keys(const std::string& text) {
    for (char k : text) key(k);
  }
  std::uint32_t at(int x, int y) const { return state.p.at(x, y); }
};

TEST_F(MarksTest, ARedactionIsBurntInAndEnterPublishesIt) {
  int panelTopWhileSelecting = view.panelTop;
  key('b');
  EXPECT_EQ(view.shownTool, static_cast<int>(marks::Tool::Redact));
  EXPECT_TRUE(view.stripVisible);
  EXPECT_GE(view.panelTop, 200) << "the panel leaves the selection while drawing";
  drag(120, 60, 160, 80);
  EXPECT_EQ(at(120, 60), 0u);
  EXPECT_EQ(at(159, 79), 0u);
  EXPECT_EQ(at(160, 79), rgb(200, 100, 50));
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200})) << "a drag with a tool is no new selection";
  ASSERT_FALSE(view.repaintedParts.empty());
  for (const Rect& r : view.repaintedParts) EXPECT_LE(r.width() * r.height(), 40 * 32) << "only the block";
  key('b');
  EXPECT_EQ(view.shownTool, -1);
  EXPECT_EQ(view.panelTop, panelTopWhileSelecting);

  Picture crop;
  actionsConfirm = [&] { crop = cropOf(state.p, state.selection); };
  key('\r');
  ASSERT_EQ(confirms, 1);
  EXPECT_EQ(crop.at(20, 10), 0u);
  EXPECT_EQ(crop.at(0, 0), rgb(200, 100, 50));
}

TEST_F(MarksTest, UndoRedoAndMarksStayInsideTheSelection) {
  key('r');
  drag(280, 180, 390, 290); // ends outside the selection
  EXPECT_EQ(at(299, 199), rgb(0xE0, 0x20, 0x20));
  for (int x : {300, 350, 399}) EXPECT_EQ(at(x, 250), rgb(200, 100, 50));
  key('l');
  drag(110, 60, 200, 60);
  key(26); // Ctrl+Z
  EXPECT_EQ(at(150, 60), rgb(200, 100, 50));
  EXPECT_EQ(at(299, 199), rgb(0xE0, 0x20, 0x20));
  key(26);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);
  key(25); // Ctrl+Y
  key(25);
  EXPECT_NE(at(150, 60), rgb(200, 100, 50));
  key('5'); // a colour for the line
  EXPECT_EQ(view.shownColour, 0x2060E0u);
  drag(110, 70, 111, 70);
  key(26);
  key('a');
  drag(150, 100, 150, 100); // an arrow without length is no mark
  key(26);
  EXPECT_EQ(at(150, 60), rgb(200, 100, 50)) << "the one undo took the line, not an empty arrow";

  // A new mark after an undo drops the undone ones for good; the marks before it stay.
  key('l');
  drag(110, 150, 200, 150);
  key(25);
  EXPECT_EQ(at(150, 60), rgb(200, 100, 50)) << "nothing to redo after a new mark";
  EXPECT_NE(at(150, 150), rgb(200, 100, 50));
  EXPECT_EQ(at(299, 199), rgb(0xE0, 0x20, 0x20));
  key(26);
  EXPECT_EQ(at(150, 150), rgb(200, 100, 50));
  EXPECT_EQ(at(299, 199), rgb(0xE0, 0x20, 0x20));
  key(26);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);
  key(25);
  key(25);
  key(25);
  EXPECT_NE(at(150, 150), rgb(200, 100, 50));
  EXPECT_EQ(at(150, 60), rgb(200, 100, 50)) << "the dropped line never comes back";
}

TEST_F(MarksTest, StepsCountOnAndCanGoOnFromTheLastCapture) {
  profile.values[{"Annotate", "StepsContinue"}] = "1";
  profile.values[{"Annotate", "NextStep"}] = "5";
  window.onShow();
  drag(100, 50, 300, 200);
  key('n');
  window.onMouseDown(150, 100);
  window.onMouseUp(150, 100);
  window.onMouseDown(200, 100);
  window.onMouseUp(200, 100);
  EXPECT_EQ(glyphs.rendered, (std::vector<std::string>{"5", "6"}));
  state.confirmed = true;
  window.onClose();
  EXPECT_EQ((profile.values[{"Annotate", "NextStep"}]), "7");

  profile.values[{"Annotate", "StepsContinue"}] = "0";
  window.onShow();
  drag(100, 50, 300, 200);
  key('n');
  window.onMouseDown(150, 100);
  EXPECT_EQ(glyphs.rendered.back(), "1");
}

TEST_F(MarksTest, TextIsTypedOntoThePicture) {
  key('t');
  window.onMouseDown(120, 60);
  window.onMouseUp(120, 60);
  keys("Hi s");
  EXPECT_EQ(glyphs.rendered.back(), "Hi s") << "letters are text, not tools, while typing";
  key('\b');
  key(27); // Esc drops the text and keeps the window
  EXPECT_TRUE(view.open);
  EXPECT_EQ(state.p.pixels, state.snapshot.pixels);

  window.onMouseDown(120, 60);
  keys("ok");
  key('\r');
  EXPECT_NE(at(120, 60), rgb(200, 100, 50));
  EXPECT_EQ(at(120 + 2 * 13, 60), rgb(200, 100, 50)) << "no caret stays behind";
  window.onMouseDown(120, 100);
  keys("x");
  Picture crop;
  actionsConfirm = [&] { crop = cropOf(state.p, state.selection); };
  window.confirmSelection(); // the button keeps the text being typed
  EXPECT_NE(crop.at(20, 50), rgb(200, 100, 50));
  key(27);
  ASSERT_EQ(messages.questions.size(), 1u);
  EXPECT_EQ(messages.questions[0], "Glimor: Drop the drawings and cancel the capture?");
  EXPECT_TRUE(view.open) << "No keeps the marks";
  messages.answers.push_back(true);
  key(27);
  EXPECT_FALSE(view.open);
}

TEST_F(MarksTest, ANewSelectionDropsTheMarksOnlyWhenTheUserAgrees) {
  key('b');
  drag(120, 60, 160, 80);
  key('s');
  drag(10, 10, 50, 50);
  ASSERT_EQ(messages.questions.size(), 1u);
  EXPECT_EQ(messages.questions[0], "Glimor: Drop the drawings and start a new selection?");
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200}));
  EXPECT_EQ(at(120, 60), 0u);
  messages.answers.push_back(true);
  drag(10, 10, 50, 50);
  EXPECT_EQ(at(120, 60), rgb(200, 100, 50));
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200})) << "the press went to the question";
  drag(20, 20, 60, 60);
  EXPECT_EQ(state.selection, (Rect{20, 20, 60, 60}));
  EXPECT_EQ(messages.questions.size(), 2u) << "no question without marks";
}

TEST_F(MarksTest, CtrlCCopiesTheMarkedSelectionAndEndsTheCapture) {
  key('b');
  drag(120, 60, 160, 80);
  clipboard.busy = true;
  EXPECT_THROW(key(3), Error);
  EXPECT_TRUE(view.open) << "nothing is lost while another program holds the clipboard";
  EXPECT_FALSE(state.copied);
  clipboard.busy = false;
  key(3);
  ASSERT_TRUE(clipboard.picture);
  EXPECT_EQ(clipboard.picture->pixels, cropOf(state.p, state.selection).pixels);
  EXPECT_EQ(clipboard.picture->at(20, 10), 0u) << "the redaction";
  // Beside the bitmap, the PNG file that browsers and chats paste: of the selection's size.
  ASSERT_GE(clipboard.png.size(), 24u);
  EXPECT_EQ(std::string(clipboard.png.begin() + 1, clipboard.png.begin() + 4), "PNG");
  EXPECT_EQ(clipboard.png[19] | clipboard.png[18] << 8, 200) << "IHDR width";
  EXPECT_EQ(clipboard.png[23] | clipboard.png[22] << 8, 150) << "IHDR height";
  EXPECT_FALSE(view.open);
  EXPECT_TRUE(state.copied);
  EXPECT_TRUE(messages.questions.empty()) << "copied marks are kept, nothing to ask";
  EXPECT_EQ(confirms, 0);
}

// [Options] CopyImage: publishing also leaves the picture, marks and all, on the clipboard; a
// clipboard held by another program keeps the window open, unpublished.
TEST_F(MarksTest, WithCopyImageThePublishedSelectionGoesToTheClipboardToo) {
  state.copyPicture = true;
  key('b');
  drag(120, 60, 160, 80);
  clipboard.busy = true;
  EXPECT_THROW(key('\r'), Error);
  EXPECT_EQ(confirms, 0);
  clipboard.busy = false;
  key('\r');
  EXPECT_EQ(confirms, 1);
  ASSERT_TRUE(clipboard.picture);
  EXPECT_EQ(clipboard.picture->at(20, 10), 0u) << "the redaction";
  EXPECT_FALSE(state.copied) << "a publish, not a copy";
}

// What is selected for recording is the live screen's: no marks, no copy, Enter records.
TEST_F(MarksTest, ASelectionToRecordTakesNoMarksAndEnterRecordsIt) {
  state.recording = true;
  drag(100, 50, 300, 200);
  EXPECT_EQ(view.glimoCaption, "Record");
  EXPECT_FALSE(view.stripVisible);
  EXPECT_EQ(view.hints, recordKeyHints);
  key('b');
  window.onToolClick(0);
  drag(120, 60, 160, 80); // a new selection, not a mark
  key(3);
  EXPECT_EQ(state.selection, (Rect{120, 60, 160, 80}));
  EXPECT_FALSE(clipboard.picture);
  EXPECT_EQ(confirms, 0);
  key('\r');
  EXPECT_EQ(confirms, 1);
  state.recording = false; // the next capture has its tools again
  drag(100, 50, 300, 200);
  EXPECT_TRUE(view.stripVisible);
  EXPECT_EQ(view.hints, keyHints);
}

// Text's sizes: 8, 12, 16, 20, 24 (its own), 28, 32, 40, 48, ... 160.
TEST_F(MarksTest, TheColourButtonOffersThePaletteAndTheToolsSizes) {
  window.onStyleClick();
  EXPECT_TRUE(view.menus.empty()) << "no tool, nothing to style";
  key('t');
  view.menuChoice = 4;
  window.onStyleClick();
  ASSERT_EQ(view.menus.size(), 1u);
  const auto& menu = view.menus[0];
  ASSERT_EQ(menu.size(), 8u + 1u + 14u);
  EXPECT_TRUE(menu[0].label == "Red\t1" && menu[0].checked && menu[7].label == "White\t8");
  EXPECT_EQ(menu[8].label, "") << "a line between colours and sizes";
  EXPECT_TRUE(menu[13].label == "Size 24" && menu[13].checked && menu.back().label == "Size 160");
  EXPECT_EQ(view.shownColour, 0x2060E0u) << "Blue, the fifth";
  view.menuChoice = 17;
  window.onStyleClick();
  EXPECT_EQ(view.shownSize, 48);
  key('b');
  window.onStyleClick();
  EXPECT_EQ(view.menus.back().size(), 8u) << "a redaction has colours, no sizes";
  window.onClose();
  EXPECT_EQ((profile.values[{"Annotate", "TextSize"}]), "48");
  EXPECT_EQ((profile.values[{"Annotate", "TextColour"}]), "5");
}

TEST_F(MarksTest, TextAndStepsOfTheDefaultSizeGrowWithTheMonitorsResolution) {
  state.screen = {{0, 0, 400, 300}, {{{0, 0, 200, 300}, 96, true}, {{200, 0, 400, 300}, 144, false}}};
  profile.values[{"Annotate", "StepSize"}] = "30";
  window.onShow();
  drag(250, 50, 350, 200);
  key('t');
  EXPECT_EQ(view.shownSize, 36);
  key('n');
  EXPECT_EQ(view.shownSize, 30) << "a size in Glimor.ini is the user's own";
  key('s');
  drag(20, 50, 150, 200);
  key('t');
  EXPECT_EQ(view.shownSize, 24) << "at 100 % as designed";
  window.onClose();
  EXPECT_EQ(profile.values.count({"Annotate", "TextSize"}), 0u) << "a scaled default is not written";
}

TEST_F(MarksTest, StylesAreKeptPerToolAndTheWindowLeavesNoPixelsBehind) {
  profile.values[{"Annotate", "ArrowSize"}] = "400"; // out of range: the default
  profile.values[{"Annotate", "LineColour"}] = "x";
  window.onShow();
  drag(100, 50, 300, 200);
  key('a');
  EXPECT_EQ(view.shownSize, 4);
  window.onWheel(3);
  key('4');
  key('l');
  EXPECT_EQ(view.shownColour, 0xE02020u);
  key('b');
  drag(120, 60, 160, 80);
  window.onClose();
  EXPECT_EQ((profile.values[{"Annotate", "ArrowSize"}]), "7");
  EXPECT_EQ((profile.values[{"Annotate", "ArrowColour"}]), "4");
  EXPECT_EQ(profile.values.count({"Annotate", "LineColour"}), 1u) << "an unchanged bad value is left alone";
  EXPECT_TRUE(state.p.pixels.empty());
  EXPECT_TRUE(state.snapshot.pixels.empty());

  profile.readOnly = true;
  window.onShow();
  drag(100, 50, 300, 200);
  key('a');
  window.onWheel(1);
  EXPECT_THROW(window.onClose(), Error);
  EXPECT_TRUE(state.p.pixels.empty()) << "wiped even when the styles could not be written";
}

} // namespace
} // namespace glimor::capture
