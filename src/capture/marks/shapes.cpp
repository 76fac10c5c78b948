#include "capture/marks/shapes.h"

#include <algorithm>
#include <cmath>

namespace glimor::capture::marks {
namespace {

Vec at(Point p) {
  return Vec{static_cast<double>(p.x), static_cast<double>(p.y)};
}
double radiusOf(int width) {
  return std::max(width, 1) / 2.0;
}

// The head's base is as wide as the head is long: a bold, readable point. Its sides make an angle a
// with the shaft where tan a = 1/2, so sin a = 1 / sqrt(5).
constexpr double headHalfWidthPerLength = 0.5;
const double headSideSine = 1 / std::sqrt(5.0);

} // namespace

double arrowHeadLength(int width) {
  return std::max(10.0, 3.0 * std::max(width, 1) + 6);
}

Shape lineShape(Point from, Point to, int width) {
  Shape shape;
  shape.capsules.push_back(Capsule{at(from), at(to), radiusOf(width)});
  return shape;
}

Shape arrowShape(Point from, Point to, int width) {
  Shape shape;
  const Vec a = at(from), b = at(to);
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  if (length == 0) return shape; // no direction to point in
  const Vec u{dx / length, dy / length}, n{-u.y, u.x};
  // The geometric tip lies half a pixel beyond `to`: the pixel under the mouse is then mostly
  // covered, and no pixel centre ahead of it comes within the anti-aliased fringe.
  const Vec tip{b.x + 0.5 * u.x, b.y + 0.5 * u.y};
  // A short arrow is its head alone, shortened to fit between the two points, never turned over.
  const double head = std::min(arrowHeadLength(width), length + 0.5);
  const double halfWidth = head * headHalfWidthPerLength;
  const Vec base{tip.x - head * u.x, tip.y - head * u.y};
  shape.triangles.push_back(Triangle{{tip,
                                      {base.x + halfWidth * n.x, base.y + halfWidth * n.y},
                                      {base.x - halfWidth * n.x, base.y - halfWidth * n.y}}});
  if (head < arrowHeadLength(width)) return shape;
  // The shaft ends inside the head, where its round end with its fringe is at least half a pixel
  // from the head's sides: the head covers it fully, so its end never shows through the tip.
  const double radius = radiusOf(width);
  const double inset = (radius + 1) / headSideSine;
  shape.capsules.push_back(Capsule{a, {tip.x - inset * u.x, tip.y - inset * u.y}, radius});
  return shape;
}

Shape pathShape(const std::vector<Point>& path, int width) {
  Shape shape;
  if (path.size() == 1) return lineShape(path[0], path[0], width);
  for (std::size_t i = 1; i < path.size(); ++i)
    shape.capsules.push_back(Capsule{at(path[i - 1]), at(path[i]), radiusOf(width)});
  return shape;
}

Shape discShape(Point centre, int diameter) {
  return lineShape(centre, centre, diameter);
}

} // namespace glimor::capture::marks
