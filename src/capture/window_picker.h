#pragma once
#include "capture/capture_state.h"
#include "platform/selection_view.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace glimor::capture {

// The window under the pointer in the selection window: outlined in the picture while the user
// aims, and what a click there selects. The wheel or Tab steps into the control under the pointer
// and back out. The outline is drawn into the picture the window shows; the pixels it covers are
// kept, so taking it off restores exactly them, whatever the picture held there (a fade, marks).
class WindowPicker {
public:
  WindowPicker(CaptureState& state, platform::SelectionView& view) : state_(state), view_(view) {}

  // A fresh picture: nothing is outlined, the next window is a top-level one again.
  void reset();
  // The picture was replaced as a whole: the outline went with it.
  void forget() { outlined_.reset(); }
  // Outlines the window under the point at the depth the user stepped to.
  void hover(int x, int y);
  // Positive notches step into the control under the pointer, negative ones back out.
  void step(int notches);
  // One level further in, and from the innermost back to the top-level window.
  void cycle();
  // Takes the outline off the picture.
  void hide();
  // What a click at the last point hovered selects: the outlined window, if any.
  std::optional<Rect> target() const;

private:
  void outline(std::optional<Rect> rect);
  int depth() const;

  CaptureState& state_;
  platform::SelectionView& view_;
  std::vector<Rect> chain_; // the windows under the pointer, outermost first
  int wantedDepth_ = 0;     // how far in the user stepped; the pointer's chain may be shallower
  std::optional<Rect> outlined_;
  std::vector<std::uint32_t> covered_; // the picture's pixels under the outline, strip by strip
};

} // namespace glimor::capture
