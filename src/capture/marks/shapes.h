#pragma once
#include "capture/marks/coverage.h"
#include "capture/marks/mark.h"

#include <vector>

namespace glimor::capture::marks {

// The strokes' geometry. Widths below one pixel count as one.

// A round-capped stroke of `width` from `from` to `to` (the same point: a dot).
Shape lineShape(Point from, Point to, int width);

// The line and a filled triangular head whose tip is `to`.
Shape arrowShape(Point from, Point to, int width);

// A freehand path: round-capped strokes between its points, joined round.
Shape pathShape(const std::vector<Point>& path, int width);

// A filled disc of `diameter` centred on `centre`.
Shape discShape(Point centre, int diameter);

// How long an arrow's head is for a stroke of `width`: wide enough to read at any width.
double arrowHeadLength(int width);

} // namespace glimor::capture::marks
