#include "capture/marks/render.h"

#include "capture/marks/paint.h"
#include "capture/marks/shapes.h"

#include <algorithm>
#include <climits>

namespace glimor::capture::marks {
namespace {

// Where `length` pixels begin when centred on `centre` (to half a pixel for even lengths).
int centredStart(int centre, int length) {
  return static_cast<int>(std::max<long long>(INT_MIN, centre - (length - 1LL) / 2));
}

} // namespace

Rect spannedRect(Point a, Point b) {
  return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

std::uint32_t contrastingColour(std::uint32_t fill) {
  // Perceived brightness (Rec. 601 weights): yellow, light green and orange take black digits.
  const unsigned luma = 299 * (fill >> 16 & 0xFF) + 587 * (fill >> 8 & 0xFF) + 114 * (fill & 0xFF);
  return luma >= 140 * 1000 ? 0x000000 : 0xFFFFFF;
}

void render(Picture& picture, const Rect& clip, const Mark& mark, Damage& damage) {
  const Rect area = intersection(clip, Rect{0, 0, picture.width, picture.height});
  const auto& points = mark.points;
  const std::uint32_t colour = mark.colour & 0xFFFFFF;
  // A mark still missing a point (a press without a move) draws nothing yet.
  if (area.width() <= 0 || points.empty()) return;
  const bool twoPoints = points.size() >= 2;
  switch (mark.tool) {
  case Tool::Rectangle:
    if (twoPoints) paintOutline(picture, area, spannedRect(points[0], points[1]), mark.size, colour, damage);
    break;
  case Tool::Arrow:
    if (twoPoints)
      paintShape(picture, area, arrowShape(points[0], points[1], mark.size), colour, Blend::Over, damage);
    break;
  case Tool::Line:
    if (twoPoints)
      paintShape(picture, area, lineShape(points[0], points[1], mark.size), colour, Blend::Over, damage);
    break;
  case Tool::Highlighter:
    paintShape(picture, area, pathShape(points, mark.size), colour, Blend::Multiply, damage);
    break;
  case Tool::Text:
    paintGlyphs(picture, area, mark.glyphs, points[0], colour, damage);
    break;
  case Tool::Step: {
    paintShape(picture, area, discShape(points[0], mark.size), colour, Blend::Over, damage);
    // The number centred on the circle's centre pixel.
    const Point topLeft{centredStart(points[0].x, mark.glyphs.width),
                        centredStart(points[0].y, mark.glyphs.height)};
    paintGlyphs(picture, area, mark.glyphs, topLeft, contrastingColour(colour), damage);
    break;
  }
  case Tool::Redact:
    if (twoPoints) fillRect(picture, area, spannedRect(points[0], points[1]), colour, damage);
    break;
  case Tool::Pixelate:
    if (twoPoints) pixelate(picture, area, spannedRect(points[0], points[1]), damage);
    break;
  }
}

} // namespace glimor::capture::marks
