#include "screen/screen_layout.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace glimor::screen {

namespace {

// Squared distance from the point to the nearest pixel of the rectangle.
std::int64_t distanceSquared(const Rect& r, int x, int y) {
  std::int64_t dx = x < r.left ? r.left - x : x >= r.right ? x - (r.right - 1) : 0;
  std::int64_t dy = y < r.top ? r.top - y : y >= r.bottom ? y - (r.bottom - 1) : 0;
  return dx * dx + dy * dy;
}

Rect moved(const Rect& r, int dx, int dy) {
  return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

} // namespace

Rect virtualScreenOf(const std::vector<Monitor>& monitors) {
  if (monitors.empty()) return {};
  Rect all = monitors.front().bounds;
  for (const Monitor& m : monitors) {
    all.left = std::min(all.left, m.bounds.left);
    all.top = std::min(all.top, m.bounds.top);
    all.right = std::max(all.right, m.bounds.right);
    all.bottom = std::max(all.bottom, m.bounds.bottom);
  }
  return all;
}

ScreenLayout layoutFor(const std::vector<Monitor>& monitors, bool allMonitors) {
  ScreenLayout layout;
  if (allMonitors) {
    layout.monitors = monitors;
  } else {
    auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary == monitors.end()) primary = monitors.begin();
    if (primary != monitors.end()) layout.monitors.push_back(*primary);
  }
  layout.area = virtualScreenOf(layout.monitors);
  for (Monitor& m : layout.monitors) m.bounds = moved(m.bounds, -layout.area.left, -layout.area.top);
  return layout;
}

int monitorAt(const ScreenLayout& layout, int x, int y) {
  int nearest = -1;
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    std::int64_t d = distanceSquared(layout.monitors[i].bounds, x, y);
    if (d < best) {
      best = d;
      nearest = static_cast<int>(i);
    }
  }
  return nearest;
}

void blackOutUncovered(Picture& picture, const ScreenLayout& layout) {
  for (const Monitor& m : layout.monitors)
    if (m.bounds.left <= 0 && m.bounds.top <= 0 && m.bounds.right >= picture.width &&
        m.bounds.bottom >= picture.height)
      return; // one monitor shows it all
  std::vector<std::uint8_t> covered(static_cast<std::size_t>(std::max(picture.width, 0)));
  for (int y = 0; y < picture.height; ++y) {
    std::fill(covered.begin(), covered.end(), 0);
    for (const Monitor& m : layout.monitors) {
      if (y < m.bounds.top || y >= m.bounds.bottom) continue;
      int from = std::clamp(m.bounds.left, 0, picture.width),
          to = std::clamp(m.bounds.right, 0, picture.width);
      std::fill(covered.begin() + from, covered.begin() + std::max(from, to), 1);
    }
    std::uint32_t* row = picture.row(y);
    for (int x = 0; x < picture.width; ++x)
      if (!covered[static_cast<std::size_t>(x)]) row[x] = 0;
  }
}

} // namespace glimor::screen
