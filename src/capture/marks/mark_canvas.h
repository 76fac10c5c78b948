#pragma once
#include "capture/capture_state.h"
#include "capture/marks/damage.h"
#include "capture/marks/mark.h"
#include "capture/marks/mark_history.h"
#include "platform/text_glyphs.h"

#include <optional>

namespace glimor::capture::marks {

// The marks on one selection and the picture they are drawn on. What the window shows (`p`) is a
// layer of the marks already made (the capture with every mark burnt in) plus the mark in progress;
// each change of the mark in progress restores only what its last drawing changed and draws it
// again, so a mouse move costs the mark's pixels, not the screen's. Everything stays inside the
// selection.
class MarkCanvas {
public:
  MarkCanvas(CaptureState& state, platform::TextGlyphs& glyphs) : state_(state), glyphs_(glyphs) {}

  // Drops every mark and wipes the layer; the picture inside the selection is the capture again.
  void reset();
  bool empty() const { return history_.empty(); }
  int count(Tool tool) const { return history_.count(tool); }

  // A new mark at the point (kept inside the selection): Step is made at once, Text starts the
  // typing, every other tool starts a drag. A mark in progress is finished first.
  void begin(Tool tool, std::uint32_t colour, int size, Point at, int stepNumber = 0);
  void drag(Point to);
  // Ends the drag at the point; a mark that covers nothing (an empty rectangle, a line without
  // length) is dropped.
  void release(Point at);
  bool dragging() const { return current_ && current_->tool != Tool::Text; }
  bool typing() const { return current_ && current_->tool == Tool::Text; }

  // The typed text: characters from the space on, and backspace.
  void type(char key);
  // Ends the typing: the text becomes a mark when `keep` and it is not empty.
  void endTyping(bool keep);
  // The mark in progress takes the new colour and size.
  void restyle(std::uint32_t colour, int size);

  bool undo();
  bool redo();

  // What changed in the picture since the last call.
  Damage takeDamage();
  // Zeroes the layer, so no memory keeps what the marks covered.
  void wipe();

private:
  Point inside(Point p) const;
  void ensureLayer();
  void drawCurrent();
  void commit();
  void restoreDrawn();
  void rebuild();
  platform::GlyphMask textGlyphs() const;

  CaptureState& state_;
  platform::TextGlyphs& glyphs_;
  Picture layer_; // the capture with the finished marks; only its selection is ever read
  MarkHistory history_;
  std::optional<Mark> current_;
  std::string text_;
  Damage drawn_;   // what the mark in progress changed in `p`
  Damage pending_; // what the window has yet to show
};

} // namespace glimor::capture::marks
