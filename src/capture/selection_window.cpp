#include "capture/selection_window.h"

#include "capture/picture_ops.h"
#include "capture/selection_geometry.h"

namespace glimor::capture {

namespace {
constexpr char escape = 27;
constexpr int fadeSteps = 5;
constexpr unsigned fadeStepMs = 30;
} // namespace

SelectionWindow::SelectionWindow(CaptureState& state, platform::SelectionView& view,
                                 std::function<bool()> fadeEnabled, std::string executablePath,
                                 PanelActions actions)
    : state_(state), view_(view), fadeEnabled_(std::move(fadeEnabled)),
      executablePath_(std::move(executablePath)), actions_(std::move(actions)) {}

void SelectionWindow::onShow() {
  view_.setPanelVisible(false);
}

void SelectionWindow::onClose() {
  state_.drawing = false;
}

void SelectionWindow::onKeyPress(char key) {
  if (key == escape) view_.close();
}

void SelectionWindow::onDoubleClick() {
  view_.close();
}

void SelectionWindow::onMouseDown(int x, int y) {
  if (fading_) {
    pressDroppedDuringFade_ = true;
    return;
  }
  pressDroppedDuringFade_ = false;
  view_.setPanelVisible(false);
  state_.selection.left = x;
  state_.selection.top = y;
  state_.drawing = true;
  actionsAttached_ = true;
}

void SelectionWindow::onMouseMove(int x, int y) {
  if (!state_.drawing) return;
  state_.p = state_.snapshot;
  drawRubberBand(state_.p, state_.selection.left, state_.selection.top, x, y);
  view_.repaint();
}

void SelectionWindow::onMouseUp(int x, int y) {
  // A release during the fade, or the late release of a press dropped during it.
  if (fading_ || pressDroppedDuringFade_) {
    pressDroppedDuringFade_ = false;
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
    state_.files = cropFileNamesFor(executablePath_);
    FinishedSelection finished = finishRectangle(state_.selection.left, state_.selection.top, x, y,
                                                 state_.p.width, state_.p.height, state_.screen);
    state_.selection = finished.rect;
    fullScreen = finished.fullScreen;
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
  PanelPlacement at = panelPlacementFor(state_.selection, state_.screen);
  view_.placePanel(at.left, at.top, at.dpi);
  view_.setPanelVisible(true);
  view_.setGlimoButton(glimoCaption(fullScreen), glimoEnabled(state_.selection));
}

void SelectionWindow::onGlimoItClick() {
  if (actionsAttached_ && actions_.confirm)
    actions_.confirm();
  else
    state_.confirmed = true;
}

void SelectionWindow::onSaveClick() {
  if (actions_.saveAs) actions_.saveAs();
}

void SelectionWindow::onPrintClick() {
  if (actionsAttached_ && actions_.print) actions_.print();
}

void SelectionWindow::onCancelClick() {
  if (actionsAttached_ && actions_.cancel) actions_.cancel();
}

} // namespace glimor::capture
