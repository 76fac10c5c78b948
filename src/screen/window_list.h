#pragma once
#include "screen/picture.h"

#include <vector>

namespace glimor::screen {

// A window as the screen showed it at the hot key: its rectangle and its visible child windows
// (controls), each list topmost first.
struct WindowBox {
  Rect bounds;
  std::vector<WindowBox> children;
  bool operator==(const WindowBox&) const = default;
};

// The windows moved into picture pixels (whose (0, 0) is the screen point `area`'s top-left) and
// clipped to the picture, a child also to its parent; what is left of no size is dropped.
std::vector<WindowBox> windowsInPicture(const std::vector<WindowBox>& windows, const Rect& area);

// The windows under the point, outermost first: the topmost top-level window that holds it, then
// its topmost child that holds it, and so on. Empty where no window is.
std::vector<Rect> windowChainAt(const std::vector<WindowBox>& windows, int x, int y);

} // namespace glimor::screen
