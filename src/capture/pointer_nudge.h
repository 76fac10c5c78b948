#pragma once
#include "capture/screen_terms.h"
#include "platform/selection_view.h"

namespace glimor::capture {

enum class Arrow { Left, Right, Up, Down };

// Where an arrow key moves the pointer, so a rectangle can be set to the pixel by keyboard: one
// pixel, ten with Shift, never off the picture (`width` x `height`).
Point nudged(Point from, Arrow arrow, bool shift, int width, int height);

// The pointer for the arrow keys. Keys pressed in quick succession go on from the last move made:
// a system that carries out a move late (Wine) still reports a place between the first key's start
// and the last key's target, and that key would be lost. A place outside that span is the mouse's.
class PointerNudge {
public:
  void forget() { chained_ = false; }
  Point at(const platform::SelectionView& view);
  void nudge(platform::SelectionView& view, Arrow arrow, bool shift, int width, int height);

private:
  Point start_, target_;
  bool chained_ = false;
};

} // namespace glimor::capture
