#include "record/bar_placement.h"

#include "capture/print_layout.h"

#include <algorithm>

namespace glimor::record {

BarPlacement barPlacementFor(const screen::Rect& s, const screen::ScreenLayout& layout) {
  int on = screen::monitorAt(layout, s.left + s.width() / 2, s.top + s.height() / 2);
  if (on < 0) return {};
  const screen::Monitor& monitor = layout.monitors[static_cast<std::size_t>(on)];
  const screen::Rect& m = monitor.bounds;
  auto scaled = [&](int designed) { return capture::mulDiv(designed, monitor.dpi, 96); };
  const int width = scaled(barWidth), height = scaled(barHeight), gap = scaled(barGap);
  if (width > m.width()) return {std::nullopt, monitor.dpi};
  auto keptOn = [](int start, int size, int low, int high) {
    return std::max(std::min(start, high - size), low);
  };
  const int centredLeft = keptOn(s.left + s.width() / 2 - width / 2, width, m.left, m.right);
  const int middleTop = keptOn(s.top + s.height() / 2 - height / 2, height, m.top, m.bottom);
  if (s.bottom + gap + height <= m.bottom) return {screen::Point{centredLeft, s.bottom + gap}, monitor.dpi};
  if (s.top - gap - height >= m.top) return {screen::Point{centredLeft, s.top - gap - height}, monitor.dpi};
  if (s.right + gap + width <= m.right) return {screen::Point{s.right + gap, middleTop}, monitor.dpi};
  if (s.left - gap - width >= m.left) return {screen::Point{s.left - gap - width, middleTop}, monitor.dpi};
  return {std::nullopt, monitor.dpi};
}

} // namespace glimor::record
