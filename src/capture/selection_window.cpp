#include "capture/selection_window.h"

#include "capture/imaging_crop_output.h"
#include "imaging/png_image.h"

#include "capture/picture_ops.h"
#include "capture/selection_geometry.h"
#include "platform/error.h"

namespace glimor::capture {

namespace {
constexpr char escape = 27;
constexpr char tab = 9;
constexpr char ctrlC = 3;
constexpr int fadeSteps = 5;
constexpr unsigned fadeStepMs = 30;
const std::string dropMarksQuestion = "Drop the drawings and start a new selection?";
const std::string dropMarksAndCloseQuestion = "Drop the drawings and cancel the capture?";
} // namespace

SelectionWindow::SelectionWindow(CaptureState& state, platform::SelectionView& view,
                                 std::function<bool()> fadeEnabled, std::string executablePath,
                                 PanelActions actions, MarkPlatform marks)
    : state_(state), view_(view), fadeEnabled_(std::move(fadeEnabled)),
      executablePath_(std::move(executablePath)), actions_(std::move(actions)), messages_(marks.messages),
      clipboard_(marks.clipboard), annotator_(state, view, marks.glyphs, marks.profile),
      magnifier_(marks.glyphs, marks.profile), picker_(state, view) {}

void SelectionWindow::onShow() {
  selected_ = pressRefused_ = false;
  pressedWindow_.reset();
  picker_.reset();
  view_.setPanelVisible(false);
  view_.setToolStripVisible(false);
  annotator_.onShow();
  magnifier_.onShow();
  pointer_.forget();
  if (state_.preselected)
    selectPreselected();
  else
    magnify(view_.pointer(), true);
}

// "Capture last region": the region is finished as a drag over it would be, panel and all, so
// Enter or the panel's button publishes it.
void SelectionWindow::selectPreselected() {
  Rect region = *state_.preselected;
  state_.preselected.reset();
  state_.selection.left = region.left;
  state_.selection.top = region.top;
  actionsAttached_ = true;
  finishSelection(region.right, region.bottom);
}

// Whatever ended the window, nothing it showed stays in memory: the capture, its clean copy and
// the layer of marks are zeroed, so covered pixels do not outlive the window.
void SelectionWindow::onClose() {
  state_.drawing = false;
  magnifier_.forget();
  selected_ = false;
  picker_.reset();
  try {
    annotator_.onClose(state_.confirmed || saving_);
  } catch (...) {
    wipe(state_.p);
    wipe(state_.snapshot);
    throw;
  }
  wipe(state_.p);
  wipe(state_.snapshot);
}

void SelectionWindow::onKeyPress(char key) {
  if (key == escape) {
    if (annotator_.typing()) {
      annotator_.endTyping(false);
      return;
    }
    // Marks are work: Esc asks before it throws them away, as a new selection does.
    if (annotator_.hasMarks() &&
        !messages_.askYesNo(dropMarksAndCloseQuestion, "Glimor", platform::Messages::Default::No))
      return;
    view_.close();
    return;
  }
  // Enter ends a drag where the pointer is, as a release there would; the button's own release
  // later is dropped.
  if (key == '\r' && state_.drawing) {
    Point at = pointer_.at(view_);
    pressRefused_ = true;
    finishSelection(at.x, at.y);
    return;
  }
  if ((key == 'z' || key == 'Z') && !annotator_.typing() && !fading_) {
    toggleMagnifier();
    return;
  }
  if (key == tab && picking()) {
    beneathMagnifier(pointer_.at(view_), [&] { picker_.cycle(); });
    return;
  }
  if (!selected_ || fading_) return;
  // What is recorded is the live screen: no marks, no copy of the frozen one.
  if (state_.recording) {
    if (key == '\r') publish();
    return;
  }
  if (key == ctrlC) {
    copyToClipboard();
    return;
  }
  // The drawing tools may draw the picture anew; the outline comes back with the next move.
  beneathMagnifier(pointer_.at(view_), [&] { picker_.hide(); });
  if (annotator_.onKey(key) == marks::Annotator::Key::Publish) publish();
}

void SelectionWindow::onToolClick(int tool) {
  if (!selected_ || fading_ || state_.recording || tool < 0 || tool >= marks::toolCount) return;
  beneathMagnifier(pointer_.at(view_), [&] { picker_.hide(); });
  annotator_.choose(static_cast<marks::Tool>(tool));
}

void SelectionWindow::onStyleClick() {
  if (selected_ && !fading_ && !state_.recording) annotator_.chooseStyle();
}

void SelectionWindow::onArrowKey(Arrow arrow, bool shift) {
  if (annotator_.typing()) return;
  pointer_.nudge(view_, arrow, shift, state_.p.width, state_.p.height);
}

// With a drawing tool chosen the wheel sets its size; otherwise it steps into the window under
// the pointer and back out.
void SelectionWindow::onWheel(int notches) {
  if (picking())
    beneathMagnifier(pointer_.at(view_), [&] { picker_.step(notches); });
  else if (selected_ && !fading_)
    annotator_.onWheel(notches);
}

bool SelectionWindow::picking() const {
  return !fading_ && !state_.drawing && !annotator_.dragging() && !(selected_ && annotator_.tool());
}

// The marks belong to the selection: a press for a new selection drops them, once the user agrees.
// The press itself is spent on the question (its button was let go to answer it), so the new
// selection is the next drag.
bool SelectionWindow::pressDropsMarks() {
  if (!annotator_.hasMarks()) return false;
  if (messages_.askYesNo(dropMarksQuestion, "Glimor", platform::Messages::Default::No))
    annotator_.onNewSelection();
  return true;
}

void SelectionWindow::onMouseDown(int x, int y) {
  if (fading_) {
    pressDroppedDuringFade_ = true;
    return;
  }
  pressDroppedDuringFade_ = false;
  pressRefused_ = false;
  pressForMarks_ = selected_ && annotator_.tool();
  if (pressForMarks_) {
    annotator_.press({x, y});
    return;
  }
  // The window under the press is the one outlined; the outline goes, since a drag or the
  // finished selection draws the picture anew.
  beneathMagnifier({x, y}, [&] {
    picker_.hover(x, y);
    pressedWindow_ = picker_.target();
    picker_.hide();
  });
  if (selected_ && pressDropsMarks()) {
    pressRefused_ = true;
    pressedWindow_.reset();
    return;
  }
  selected_ = false;
  view_.setPanelVisible(false);
  view_.setToolStripVisible(false);
  state_.selection.left = x;
  state_.selection.top = y;
  state_.drawing = true;
  band_.clear();
  actionsAttached_ = true;
}

void SelectionWindow::onMouseMove(int x, int y) {
  if (annotator_.dragging()) {
    annotator_.move({x, y});
    return;
  }
  if (!state_.drawing) {
    if (picking())
      beneathMagnifier({x, y}, [&] { picker_.hover(x, y); });
    else
      magnify({x, y}, false);
    return;
  }
  if (x != state_.selection.left || y != state_.selection.top) pressedWindow_.reset();
  moveRubberBand(x, y);
}

// The first move of a drag draws the capture anew (a finished selection may have darkened it);
// later ones put back only the lines the band drew last, so a frame costs the band's lines and
// not the screen. The magnifier stands over the band and comes off first.
void SelectionWindow::moveRubberBand(int x, int y) {
  std::vector<Rect> changed = magnifier_.hide(state_.p);
  bool whole = band_.empty();
  if (whole) {
    state_.p = state_.snapshot;
    picker_.forget();
  }
  for (const Rect& line : band_) copyRect(state_.snapshot, state_.p, line);
  changed.insert(changed.end(), band_.begin(), band_.end());
  drawRubberBand(state_.p, state_.selection.left, state_.selection.top, x, y);
  band_ = rubberBandLines(state_.selection.left, state_.selection.top, x, y);
  changed.insert(changed.end(), band_.begin(), band_.end());
  std::vector<Rect> lens = magnifier_.follow(state_, {x, y}, !selected_ && !fading_);
  changed.insert(changed.end(), lens.begin(), lens.end());
  if (whole)
    view_.repaint();
  else
    view_.repaint(changed);
}

void SelectionWindow::onMouseUp(int x, int y) {
  // A release during the fade, or the late release of a press dropped during it.
  if (fading_ || pressDroppedDuringFade_ || pressRefused_) {
    pressDroppedDuringFade_ = pressRefused_ = false;
    return;
  }
  if (pressForMarks_) {
    pressForMarks_ = false;
    annotator_.release({x, y});
    return;
  }
  finishSelection(x, y);
}

void SelectionWindow::finishSelection(int x, int y) {
  state_.drawing = false;
  bool fullScreen = false;
  try {
    bool fade = fadeEnabled_ && fadeEnabled_();
    state_.p = state_.snapshot;
    band_.clear();
    magnifier_.forget();
    picker_.forget();
    state_.files = cropFileNamesFor(executablePath_);
    // A click on a window selects the window; elsewhere a click selects the monitor.
    bool click = x == state_.selection.left && y == state_.selection.top;
    FinishedSelection finished = click && pressedWindow_
                                     ? FinishedSelection{*pressedWindow_, false}
                                     : finishRectangle(state_.selection.left, state_.selection.top, x, y,
                                                       state_.p.width, state_.p.height, state_.screen);
    pressedWindow_.reset();
    state_.selection = finished.rect;
    fullScreen = finished.fullScreen;
    annotator_.onNewSelection();
    annotator_.useResolution(dpiOfSelection(state_.selection, state_.screen));
    if (fullScreen) fade = false;
    if (fade) runFade();
    view_.repaint();
  } catch (...) {
    // The panel appears whatever happened, so the user can still act on the selection.
    showPanel(fullScreen);
    throw;
  }
  showPanel(fullScreen);
}

// Only while a selection is being made: a finished one is what gets published, and a magnifier
// drawn over it would be cropped with it.
void SelectionWindow::magnify(Point at, bool whole) {
  std::vector<Rect> changed = magnifier_.follow(state_, at, !selected_ && !fading_);
  if (!whole && !changed.empty()) view_.repaint(changed);
}

// The window's outline lies under the magnifier: the magnifier comes off before the outline changes
// and goes back on after, so that each restores exactly the pixels it covered.
void SelectionWindow::beneathMagnifier(Point at, const std::function<void()>& change) {
  std::vector<Rect> lifted = magnifier_.hide(state_.p);
  if (!lifted.empty()) view_.repaint(lifted);
  change();
  magnify(at, false);
}

// Z shows and hides the magnifier; the window shows it even when Glimor.ini could not keep it.
void SelectionWindow::toggleMagnifier() {
  try {
    magnifier_.toggle();
  } catch (...) {
    magnify(pointer_.at(view_), false);
    throw;
  }
  magnify(pointer_.at(view_), false);
}

void SelectionWindow::runFade() {
  fading_ = true;
  try {
    for (int step = 1; step <= fadeSteps; ++step) {
      adjustBrightness(state_.p, -(20 + step));
      copyRect(state_.snapshot, state_.p, state_.selection);
      view_.repaint();
      view_.sleep(fadeStepMs);
      view_.processMessages();
    }
  } catch (...) {
    fading_ = false;
    throw;
  }
  fading_ = false;
}

void SelectionWindow::showPanel(bool fullScreen) {
  state_.drawing = false;
  selected_ = true;
  fullScreen_ = fullScreen;
  placePanel();
  view_.setPanelVisible(true);
  view_.setToolStripVisible(!state_.recording);
  view_.setKeyHints(state_.recording ? recordKeyHints : keyHints);
  view_.setGlimoButton(state_.recording ? recordCaption : glimoCaption(fullScreen),
                       glimoEnabled(state_.selection));
}

// The panel stands beside the selection whether or not a tool is chosen, so all of the selection
// can be seen and drawn on.
void SelectionWindow::placePanel() {
  PanelDock at = panelPlacementFor(state_.selection, state_.screen);
  view_.placePanel(at.panel.left, at.panel.top, at.panel.dpi);
  view_.placeToolStrip(at.strip.left, at.strip.top, at.strip.dpi);
  view_.placeKeyHints(at.hints.left, at.hints.top, at.hints.dpi);
}

// Enter publishes what the button would, and only when the button could.
void SelectionWindow::publish() {
  if (glimoEnabled(state_.selection)) confirmSelection();
}

// Ctrl+C takes the selection as shown, marks and all, to the clipboard instead of the service, and
// ends the capture there: what was copied is kept, so its marks need no question.
void SelectionWindow::copyToClipboard() {
  annotator_.endTyping(true);
  putPictureOnClipboard();
  state_.copied = true;
  keeping([this] { view_.close(); });
}

void SelectionWindow::putPictureOnClipboard() {
  const Picture crop = cropOf(state_.p, state_.selection);
  if (!clipboard_.setPicture(crop, imaging::encodePng(displayBitmapOf(crop, DisplayFormat{}))))
    throw Error("The selection could not be copied: another program holds the clipboard open.");
}

// The capture is kept (saved, or copied) while `ending` runs: closing then drops no marks unasked.
void SelectionWindow::keeping(const std::function<void()>& ending) {
  saving_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{saving_};
  ending();
}

// Text being typed is part of what the panel's buttons act on.
void SelectionWindow::confirmSelection() {
  annotator_.endTyping(true);
  if (state_.copyPicture && !state_.recording) putPictureOnClipboard();
  if (actionsAttached_ && actions_.confirm)
    actions_.confirm();
  else
    state_.confirmed = true;
}

void SelectionWindow::onSaveClick() {
  annotator_.endTyping(true);
  if (actions_.saveAs) keeping(actions_.saveAs);
}

void SelectionWindow::onPrintClick() {
  annotator_.endTyping(true);
  if (actionsAttached_ && actions_.print) actions_.print();
}

void SelectionWindow::onCancelClick() {
  if (actionsAttached_ && actions_.cancel) actions_.cancel();
}

} // namespace glimor::capture
