#pragma once
#include "screen/picture.h"

#include <vector>

namespace glimor::screen {

// One monitor: its rectangle in screen pixels (the primary monitor's top-left is (0, 0),
// others may lie at negative coordinates) and its resolution in dots per inch.
struct Monitor {
  Rect bounds;
  int dpi = 96;
  bool primary = false;
  bool operator==(const Monitor&) const = default;
};

// What one capture covers: `area` in screen pixels, and its monitors in picture pixels,
// whose (0, 0) is the area's top-left corner.
struct ScreenLayout {
  Rect area;
  std::vector<Monitor> monitors;
};

// The virtual screen: the smallest rectangle that holds every monitor.
Rect virtualScreenOf(const std::vector<Monitor>& monitors);

// The virtual screen with every monitor, or the primary monitor alone.
ScreenLayout layoutFor(const std::vector<Monitor>& monitors, bool allMonitors);

// The monitor that holds the picture point, or else the nearest one; -1 when there is none.
int monitorAt(const ScreenLayout& layout, int x, int y);

// Makes the parts of the picture that no monitor shows black.
void blackOutUncovered(Picture& picture, const ScreenLayout& layout);

} // namespace glimor::screen
