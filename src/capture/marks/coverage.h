#pragma once
#include "capture/screen_terms.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace glimor::capture::marks {

// Geometry in picture pixels, pixel (x, y) being the point (x, y): its centre. A mark's points are
// the pixels the mouse was on, so a one-pixel line through them covers exactly those pixels.
struct Vec {
  double x = 0, y = 0;
};

// Every point within `radius` of the segment from a to b: a stroke with round caps (a == b: a disc).
struct Capsule {
  Vec a, b;
  double radius = 0.5;
};

struct Triangle {
  Vec corner[3];
};

// What a stroke mark covers: the union of its pieces.
struct Shape {
  std::vector<Capsule> capsules;
  std::vector<Triangle> triangles;
};

// Called once per run of pixels [x0, x1) of row y that the shape may cover; alpha[i] is the
// coverage of pixel x0 + i, 0 to 255.
using CoveredSpan = std::function<void(int y, int x0, int x1, const std::uint8_t* alpha)>;

// Anti-aliased coverage of `shape` within `area`, row by row. A pixel is covered by how far its
// centre lies inside the shape's edge: clamp(0.5 - signed distance, 0, 1), so a straight edge
// fades over one pixel. Where pieces overlap a pixel takes the largest coverage, never the sum,
// so a path's joints and an arrow's shaft inside its head are not painted twice. Only the pixels
// near the shape are visited: a long diagonal costs its length times its width.
void coverShape(const Shape& shape, const Rect& area, const CoveredSpan& span);

} // namespace glimor::capture::marks
