#include "capture/pointer_nudge.h"

#include <algorithm>

namespace glimor::capture {

Point nudged(Point from, Arrow arrow, bool shift, int width, int height) {
  int step = shift ? 10 : 1;
  switch (arrow) {
  case Arrow::Left:
    from.x -= step;
    break;
  case Arrow::Right:
    from.x += step;
    break;
  case Arrow::Up:
    from.y -= step;
    break;
  case Arrow::Down:
    from.y += step;
    break;
  }
  return {std::clamp(from.x, 0, std::max(width - 1, 0)), std::clamp(from.y, 0, std::max(height - 1, 0))};
}

Point PointerNudge::at(const platform::SelectionView& view) {
  Point reported = view.pointer();
  if (chained_ && reported.x >= std::min(start_.x, target_.x) &&
      reported.x <= std::max(start_.x, target_.x) && reported.y >= std::min(start_.y, target_.y) &&
      reported.y <= std::max(start_.y, target_.y))
    return target_;
  chained_ = false;
  return reported;
}

void PointerNudge::nudge(platform::SelectionView& view, Arrow arrow, bool shift, int width, int height) {
  Point from = at(view);
  if (!chained_) start_ = from;
  target_ = nudged(from, arrow, shift, width, height);
  chained_ = true;
  view.movePointer(target_);
}

} // namespace glimor::capture
