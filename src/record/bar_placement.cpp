#include "record/bar_placement.h"

#include "capture/print_layout.h"

#include <algorithm>

namespace glimor::record {

BarPlacement barPlacementFor(const capture::Rect& s, const capture::ScreenLayout& layout) {
  int on = capture::monitorAt(layout, s.left + s.width() / 2, s.top + s.height() / 2);
  if (on < 0) return {};
  const capture::Monitor& monitor = layout.monitors[static_cast<std::size_t>(on)];
  const capture::Rect& m = monitor.bounds;
  auto scaled = [&](int designed) { return capture::mulDiv(designed, monitor.dpi, 96); };
  const int width = scaled(barWidth), height = scaled(barHeight), gap = scaled(barGap);
  if (width > m.width()) return {std::nullopt, monitor.dpi};
  auto keptOn = [](int start, int size, int low, int high) {
    return std::max(std::min(start, high - size), low);
  };
  const int centredLeft = keptOn(s.left + s.width() / 2 - width / 2, width, m.left, m.right);
  const int middleTop = keptOn(s.top + s.height() / 2 - height / 2, height, m.top, m.bottom);
  if (s.bottom + gap + height <= m.bottom) return {capture::Point{centredLeft, s.bottom + gap}, monitor.dpi};
  if (s.top - gap - height >= m.top) return {capture::Point{centredLeft, s.top - gap - height}, monitor.dpi};
  if (s.right + gap + width <= m.right) return {capture::Point{s.right + gap, middleTop}, monitor.dpi};
  if (s.left - gap - width >= m.left) return {capture::Point{s.left - gap - width, middleTop}, monitor.dpi};
  return {std::nullopt, monitor.dpi};
}

} // namespace glimor::record
