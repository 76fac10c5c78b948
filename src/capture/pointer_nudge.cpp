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

} // namespace glimor::capture
