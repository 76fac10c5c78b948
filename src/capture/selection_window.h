#pragma once
#include "capture/capture_state.h"
#include "capture/magnifier.h"
#include "capture/marks/annotator.h"
#include "capture/pointer_nudge.h"
#include "capture/window_picker.h"
#include "platform/messages.h"
#include "platform/picture_clipboard.h"
#include "platform/profile.h"
#include "platform/selection_view.h"
#include "platform/text_glyphs.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace glimor::capture {

// The tool window's actions that a press on the picture attaches to the panel's buttons.
struct PanelActions {
  std::function<void()> confirm, print, cancel, saveAs;
};

// What the drawing tools need of the platform: the text's glyphs, the question before marks are
// dropped, Glimor.ini for the tools' styles, and the clipboard that Ctrl+C copies the marked
// selection to.
struct MarkPlatform {
  platform::TextGlyphs& glyphs;
  platform::Messages& messages;
  platform::Profile& profile;
  platform::PictureClipboard& clipboard;
};

// The full-screen selection window over every captured monitor: the rubber band, a click that
// snaps to the window under it (WindowPicker), the arrow keys that nudge the pointer, the
// magnifier, finishing a selection with its fade, the button panel and key hints beside the
// selection, the marks drawn on it (Annotator) and Ctrl+C. In record mode it only chooses the
// rectangle. A double click is two clicks: on a window it selects that window, as one click does,
// and never throws the capture away.
class SelectionWindow {
public:
  SelectionWindow(CaptureState& state, platform::SelectionView& view, std::function<bool()> fadeEnabled,
                  std::string executablePath, PanelActions actions, MarkPlatform marks);

  void onShow();
  void onClose();
  void onKeyPress(char key);
  void onMouseDown(int x, int y);
  void onMouseMove(int x, int y);
  void onMouseUp(int x, int y);
  void onWheel(int notches);
  // An arrow key: the pointer moves by a pixel (Shift: ten), a drag under way with it.
  void onArrowKey(Arrow arrow, bool shift);
  // A button of the tool strip: the tool's index.
  void onToolClick(int tool);
  // The strip's colour and size button: a menu of the palette and sizes for the chosen tool.
  void onStyleClick();

  void confirmSelection();
  void onSaveClick();
  void onPrintClick();
  void onCancelClick();

  // Completes the selection whose opposite corner is (x, y).
  void finishSelection(int x, int y);

private:
  void selectPreselected();
  // The magnifier while selecting: drawn again at the pointer, or taken off. `whole`: the picture
  // was made anew and is repainted whole anyway.
  void magnify(Point at, bool whole);
  void toggleMagnifier();
  void moveRubberBand(int x, int y);
  void beneathMagnifier(Point at, const std::function<void()>& change);
  void runFade();
  void showPanel(bool fullScreen);
  void placePanel();
  bool pressDropsMarks();
  void publish();
  void copyToClipboard();
  // The selection as shown; throws Error when another program holds the clipboard.
  void putPictureOnClipboard();
  void keeping(const std::function<void()>& ending);
  // The window under the pointer is picked while nothing is being dragged or drawn.
  bool picking() const;

  CaptureState& state_;
  platform::SelectionView& view_;
  std::function<bool()> fadeEnabled_;
  std::string executablePath_;
  PanelActions actions_;
  platform::Messages& messages_;
  platform::PictureClipboard& clipboard_;
  marks::Annotator annotator_;
  Magnifier magnifier_;
  PointerNudge pointer_;
  WindowPicker picker_;
  // The window under the press, which the release selects when the mouse did not move between.
  std::optional<Rect> pressedWindow_;
  std::vector<Rect> band_; // the rubber band's lines as drawn last; none: the picture is drawn anew

  bool selected_ = false; // a selection is finished and its panel shown
  bool fullScreen_ = false;
  // A press spent on the question before marks are dropped, and its release.
  bool pressRefused_ = false;
  bool pressForMarks_ = false; // the press went to a drawing tool, and so does its release
  // Set while a save or a copy ends the window: its ending keeps the steps like a publish does.
  bool saving_ = false;
  bool actionsAttached_ = false;
  // Presses that arrive while the fade runs are ignored: the animation lasts
  // about 150 ms and a new anchor in the middle of it would misplace the panel.
  bool fading_ = false;
  // Its release is dropped with it, even when it comes after the fade, so no
  // selection comes from a press the user never saw drawn.
  bool pressDroppedDuringFade_ = false;
};

} // namespace glimor::capture
