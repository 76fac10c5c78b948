#include "screen/window_list.h"

#include <algorithm>

namespace glimor::screen {

namespace {

Rect clipped(const Rect& r, const Rect& to) {
  return {std::max(r.left, to.left), std::max(r.top, to.top), std::min(r.right, to.right),
          std::min(r.bottom, to.bottom)};
}

bool holds(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void addMoved(const std::vector<WindowBox>& from, int dx, int dy, const Rect& within,
              std::vector<WindowBox>& to) {
  for (const WindowBox& w : from) {
    Rect r =
        clipped({w.bounds.left + dx, w.bounds.top + dy, w.bounds.right + dx, w.bounds.bottom + dy}, within);
    if (r.width() <= 0 || r.height() <= 0) continue;
    WindowBox& moved = to.emplace_back(WindowBox{r, {}});
    addMoved(w.children, dx, dy, r, moved.children);
  }
}

} // namespace

std::vector<WindowBox> windowsInPicture(const std::vector<WindowBox>& windows, const Rect& area) {
  std::vector<WindowBox> out;
  addMoved(windows, -area.left, -area.top, {0, 0, area.width(), area.height()}, out);
  return out;
}

std::vector<Rect> windowChainAt(const std::vector<WindowBox>& windows, int x, int y) {
  std::vector<Rect> chain;
  const std::vector<WindowBox>* level = &windows;
  for (;;) {
    auto under =
        std::find_if(level->begin(), level->end(), [&](const WindowBox& w) { return holds(w.bounds, x, y); });
    if (under == level->end()) return chain;
    chain.push_back(under->bounds);
    level = &under->children;
  }
}

} // namespace glimor::screen
