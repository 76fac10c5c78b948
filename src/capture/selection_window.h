#pragma once
#include "capture/capture_state.h"
#include "platform/selection_view.h"

#include <functional>
#include <string>

namespace glimor::capture {

// The tool window's actions that a press on the picture attaches to the panel's buttons.
struct PanelActions {
  std::function<void()> confirm, print, cancel, saveAs;
};

// The full-screen selection window: rubber band, finishing a selection with its
// fade, and the button panel centred on the selection.
class SelectionWindow {
public:
  SelectionWindow(CaptureState& state, platform::SelectionView& view, std::function<bool()> fadeEnabled,
                  std::string executablePath, PanelActions actions);

  void onShow();
  void onClose();
  void onKeyPress(char key);
  void onDoubleClick();
  void onMouseDown(int x, int y);
  void onMouseMove(int x, int y);
  void onMouseUp(int x, int y);

  void onGlimoItClick();
  void onSaveClick();
  void onPrintClick();
  void onCancelClick();

  // Completes the selection whose opposite corner is (x, y).
  void finishSelection(int x, int y);

private:
  void runFade();
  void showPanel(bool fullScreen);

  CaptureState& state_;
  platform::SelectionView& view_;
  std::function<bool()> fadeEnabled_;
  std::string executablePath_;
  PanelActions actions_;
  bool actionsAttached_ = false;
  // Presses that arrive while the fade runs are ignored: the animation lasts
  // about 150 ms and a new anchor in the middle of it would misplace the panel.
  bool fading_ = false;
  // Its release is dropped with it, even when it comes after the fade, so no
  // selection comes from a press the user never saw drawn.
  bool pressDroppedDuringFade_ = false;
};

} // namespace glimor::capture
