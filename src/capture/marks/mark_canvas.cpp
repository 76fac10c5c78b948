#include "capture/marks/mark_canvas.h"

#include "capture/marks/render.h"
#include "capture/picture_ops.h"

#include <algorithm>
#include <string>

namespace glimor::capture::marks {

namespace {
// The typing caret: a bar as high as the text, a twelfth of it wide.
constexpr int caretWidthDivisor = 12;
} // namespace

void MarkCanvas::reset() {
  current_.reset();
  text_.clear();
  drawn_.clear();
  if (!history_.empty() && !layer_.empty()) {
    copyRect(state_.snapshot, state_.p, state_.selection);
    pending_.addRect(state_.selection);
  }
  history_.clear();
  wipe();
}

void MarkCanvas::wipe() {
  capture::wipe(layer_);
}

Point MarkCanvas::inside(Point p) const {
  const Rect& s = state_.selection;
  return {std::clamp(p.x, s.left, s.right), std::clamp(p.y, s.top, s.bottom)};
}

// The layer is the picture as the window shows it once a selection is made: the capture inside
// the selection (darkened outside it when fading, which no mark reaches).
void MarkCanvas::ensureLayer() {
  if (layer_.width != state_.p.width || layer_.height != state_.p.height) layer_ = state_.p;
}

void MarkCanvas::begin(Tool tool, std::uint32_t colour, int size, Point at, int stepNumber) {
  if (typing()) endTyping(true);
  if (dragging()) release(current_->points.back());
  ensureLayer();
  at = inside(at);
  Mark mark{.tool = tool, .colour = colour, .size = size, .points = {at}, .glyphs = {}};
  switch (tool) {
  case Tool::Step:
    // The number's cell is three fifths of the circle, so two digits still fit inside it.
    mark.glyphs = glyphs_.render(std::to_string(stepNumber), std::max(1, size * 3 / 5), true);
    current_ = std::move(mark);
    commit();
    return;
  case Tool::Text:
    text_.clear();
    break;
  case Tool::Highlighter:
    break;
  default:
    mark.points.push_back(at);
    break;
  }
  current_ = std::move(mark);
  drawCurrent();
}

void MarkCanvas::drag(Point to) {
  if (!dragging()) return;
  to = inside(to);
  std::vector<Point>& points = current_->points;
  if (current_->tool == Tool::Highlighter) {
    if (points.back() == to) return;
    points.push_back(to);
  } else {
    if (points[1] == to) return;
    points[1] = to;
  }
  drawCurrent();
}

void MarkCanvas::release(Point at) {
  if (!dragging()) return;
  drag(at);
  const Mark& mark = *current_;
  bool covers = true;
  switch (mark.tool) {
  case Tool::Rectangle:
  case Tool::Redact:
  case Tool::Pixelate: {
    Rect r = spannedRect(mark.points[0], mark.points[1]);
    covers = r.width() > 0 && r.height() > 0;
    break;
  }
  case Tool::Line:
  case Tool::Arrow:
    covers = mark.points[0] != mark.points[1];
    break;
  default:
    break;
  }
  if (covers) {
    commit();
    return;
  }
  restoreDrawn();
  current_.reset();
}

void MarkCanvas::type(char key) {
  if (!typing()) return;
  if (key == '\b') {
    if (text_.empty()) return;
    text_.pop_back();
  } else if (static_cast<unsigned char>(key) >= ' ' && key != 127) {
    text_.push_back(key);
  } else {
    return;
  }
  current_->glyphs = textGlyphs();
  drawCurrent();
}

void MarkCanvas::endTyping(bool keep) {
  if (!typing()) return;
  if (keep && !text_.empty()) {
    commit();
  } else {
    restoreDrawn();
    current_.reset();
  }
  text_.clear();
}

void MarkCanvas::restyle(std::uint32_t colour, int size) {
  if (!current_) return;
  current_->colour = colour;
  current_->size = size;
  if (typing()) current_->glyphs = textGlyphs();
  drawCurrent();
}

platform::GlyphMask MarkCanvas::textGlyphs() const {
  return glyphs_.render(text_, current_->size, false);
}

// Puts back what the last drawing of the mark in progress changed.
void MarkCanvas::restoreDrawn() {
  for (const Rect& r : drawn_.rects()) copyRect(layer_, state_.p, r);
  pending_.add(drawn_);
  drawn_.clear();
}

void MarkCanvas::drawCurrent() {
  restoreDrawn();
  render(state_.p, state_.selection, *current_, drawn_);
  if (typing()) {
    // The caret stands where the next character goes; it is never part of the mark.
    const Mark& m = *current_;
    int width = std::max(1, m.size / caretWidthDivisor);
    Mark caret{.tool = Tool::Redact,
               .colour = m.colour,
               .size = 1,
               .points = {{m.points[0].x + m.glyphs.width, m.points[0].y},
                          {m.points[0].x + m.glyphs.width + width, m.points[0].y + m.size}},
               .glyphs = {}};
    render(state_.p, state_.selection, caret, drawn_);
  }
  pending_.add(drawn_);
}

// The mark goes into the layer, and the window shows the layer where the mark was drawn: the same
// pixels, without the caret.
void MarkCanvas::commit() {
  Damage changed;
  render(layer_, state_.selection, *current_, changed);
  history_.add(std::move(*current_));
  current_.reset();
  drawn_.add(changed);
  restoreDrawn();
}

bool MarkCanvas::undo() {
  if (current_) return false;
  if (!history_.undo()) return false;
  rebuild();
  return true;
}

bool MarkCanvas::redo() {
  if (current_) return false;
  if (!history_.redo()) return false;
  rebuild();
  return true;
}

// The selection drawn again from the clean capture with the marks in effect, in their order.
void MarkCanvas::rebuild() {
  ensureLayer();
  copyRect(state_.snapshot, layer_, state_.selection);
  Damage ignored;
  for (const Mark& mark : history_) render(layer_, state_.selection, mark, ignored);
  copyRect(layer_, state_.p, state_.selection);
  pending_.addRect(state_.selection);
}

Damage MarkCanvas::takeDamage() {
  Damage taken = std::move(pending_);
  pending_.clear();
  return taken;
}

} // namespace glimor::capture::marks
