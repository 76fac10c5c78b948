#include "capture/window_picker.h"

#include "capture/screen_terms.h"

#include <algorithm>

namespace glimor::capture {

namespace {

constexpr std::uint32_t outerColour = 0x1E90FF; // a clear blue, with white inside it: seen on any window
constexpr std::uint32_t innerColour = 0xFFFFFF;

// Three rings of blue from the window's edge in, then one of white: seen on any window, dark or
// light, and thick enough to find at a glance.
constexpr int outlineWidth = 4;

// The outline's four strips inside the rectangle, so it never leaves the picture.
std::vector<Rect> stripsOf(const Rect& r) {
  int k = std::min({outlineWidth, r.width() / 2, r.height() / 2});
  if (k <= 0) return {r};
  std::vector<Rect> strips{{r.left, r.top, r.right, r.top + k},
                           {r.left, r.bottom - k, r.right, r.bottom},
                           {r.left, r.top + k, r.left + k, r.bottom - k},
                           {r.right - k, r.top + k, r.right, r.bottom - k}};
  std::erase_if(strips, [](const Rect& s) { return s.width() <= 0 || s.height() <= 0; });
  return strips;
}

// Blue but for the innermost ring; a window too small for it all keeps its blue edge.
std::uint32_t outlineColourAt(const Rect& r, int x, int y) {
  int ring = std::min({x - r.left, y - r.top, r.right - 1 - x, r.bottom - 1 - y});
  int blue = std::max(1, std::min({outlineWidth, r.width() / 2, r.height() / 2}) - 1);
  return ring < blue ? outerColour : innerColour;
}

} // namespace

void WindowPicker::reset() {
  outlined_.reset();
  covered_.clear();
  chain_.clear();
  wantedDepth_ = 0;
}

int WindowPicker::depth() const {
  return std::min(wantedDepth_, static_cast<int>(chain_.size()) - 1);
}

std::optional<Rect> WindowPicker::target() const {
  if (chain_.empty()) return std::nullopt;
  return chain_[static_cast<std::size_t>(depth())];
}

void WindowPicker::hover(int x, int y) {
  chain_ = windowChainAt(state_.windows, x, y);
  outline(target());
}

void WindowPicker::step(int notches) {
  if (chain_.empty()) return;
  wantedDepth_ = std::clamp(depth() + notches, 0, static_cast<int>(chain_.size()) - 1);
  outline(target());
}

void WindowPicker::cycle() {
  if (chain_.empty()) return;
  wantedDepth_ = depth() + 1 < static_cast<int>(chain_.size()) ? depth() + 1 : 0;
  outline(target());
}

void WindowPicker::hide() {
  outline(std::nullopt);
}

// Only the strips of the old and the new outline are drawn and repainted, so a frame costs the
// outline's pixels, not the screen's.
void WindowPicker::outline(std::optional<Rect> rect) {
  Picture& p = state_.p;
  if (rect) {
    // Defensive: the windows were clipped to this picture at the hot key.
    rect = Rect{std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, p.width),
                std::min(rect->bottom, p.height)};
    if (rect->width() <= 0 || rect->height() <= 0) rect.reset();
  }
  if (rect == outlined_) return;
  std::vector<Rect> parts;
  if (outlined_) {
    auto saved = covered_.begin();
    for (const Rect& s : stripsOf(*outlined_)) {
      for (int y = s.top; y < s.bottom; ++y, saved += s.width())
        std::copy_n(saved, s.width(), p.row(y) + s.left);
      parts.push_back(s);
    }
  }
  covered_.clear();
  outlined_ = rect;
  if (rect) {
    for (const Rect& s : stripsOf(*rect)) {
      for (int y = s.top; y < s.bottom; ++y) {
        std::uint32_t* row = p.row(y);
        covered_.insert(covered_.end(), row + s.left, row + s.right);
        for (int x = s.left; x < s.right; ++x) row[x] = outlineColourAt(*rect, x, y);
      }
      parts.push_back(s);
    }
  }
  if (!parts.empty()) view_.repaint(parts);
}

} // namespace glimor::capture
