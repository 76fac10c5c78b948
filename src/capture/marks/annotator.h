#pragma once
#include "capture/capture_state.h"
#include "capture/marks/mark_canvas.h"
#include "capture/marks/tool_styles.h"
#include "platform/profile.h"
#include "platform/selection_view.h"
#include "platform/text_glyphs.h"

#include <optional>

namespace glimor::capture::marks {

// The drawing tools of a finished selection: which one is chosen, what the keys and the wheel do to
// it, and the marks it makes. With no tool chosen it takes nothing, and the window selects as ever.
class Annotator {
public:
  Annotator(CaptureState& state, platform::SelectionView& view, platform::TextGlyphs& glyphs,
            platform::Profile& profile);

  // The window opens: the styles are read from Glimor.ini again, no tool is chosen.
  void onShow();
  // A new selection: its marks are gone, its steps start again.
  void onNewSelection();
  // The window closes; steps go on from here only when `kept` (published or saved). The styles are
  // written, and the layer is wiped.
  void onClose(bool kept);

  std::optional<Tool> tool() const { return tool_; }
  bool hasMarks() const { return !canvas_.empty(); }
  bool typing() const { return canvas_.typing(); }
  bool dragging() const { return canvas_.dragging(); }

  enum class Key { Ignored, Taken, Publish };
  // A character typed while the selection is shown: tool keys, S, 1-8, Ctrl+Z, Ctrl+Y and Enter, or
  // the text being typed. Esc is not among them.
  Key onKey(char key);
  // Chooses a tool; the chosen one again (or none) goes back to selecting.
  void choose(std::optional<Tool> tool);
  // The wheel: thickness, or the size of text and steps.
  void onWheel(int notches);
  // The colour and size button: a menu of the palette and of sizes in the chosen tool's range,
  // the tool's own ticked; what is picked there is the next mark's.
  void chooseStyle();
  // The selection's monitor: text and steps of the default size are as large to the eye on it.
  void useResolution(int dpi);

  void press(Point at);
  void move(Point at);
  void release(Point at);
  // Typing ends: Enter, a click elsewhere or a panel button keep the text, Esc drops it.
  void endTyping(bool keep);

private:
  void showTool();
  void showChanges();
  void restyle();

  platform::SelectionView& view_;
  platform::Profile& profile_;
  MarkCanvas canvas_;
  ToolStyles styles_;
  std::optional<Tool> tool_;
  int firstStep_ = 1;
};

} // namespace glimor::capture::marks
