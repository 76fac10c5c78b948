#include "capture/marks/coverage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glimor::capture::marks {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

struct Interval {
  double lo = infinity, hi = -infinity;
  void add(double from, double to) {
    lo = std::min(lo, from);
    hi = std::max(hi, to);
  }
};

// The x of the points of row y closer than `reach` to the segment ab. The set is convex, so it is
// one interval: the union of what the two end discs and the band between them give.
Interval rowNearSegment(Vec a, Vec b, double reach, double y) {
  Interval row;
  for (const Vec& end : {a, b}) {
    const double dy = y - end.y;
    if (std::abs(dy) < reach) {
      const double half = std::sqrt(reach * reach - dy * dy);
      row.add(end.x - half, end.x + half);
    }
  }
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  if (length == 0) return row;
  const double ux = dx / length, uy = dy / length;
  double lo = -infinity, hi = infinity;
  auto keep = [&](double e1, double e2) {
    lo = std::max(lo, a.x + std::min(e1, e2));
    hi = std::min(hi, a.x + std::max(e1, e2));
  };
  // Distance from the segment's line: |ux (y - a.y) - uy (x - a.x)| < reach.
  const double across = ux * (y - a.y);
  if (uy == 0) {
    if (std::abs(across) >= reach) return row;
  } else {
    keep((across - reach) / uy, (across + reach) / uy);
  }
  // Projection on the segment: 0 <= ux (x - a.x) + uy (y - a.y) <= length.
  const double along = uy * (y - a.y);
  if (ux == 0) {
    if (along < 0 || along > length) return row;
  } else {
    keep(-along / ux, (length - along) / ux);
  }
  if (lo < hi) row.add(lo, hi);
  return row;
}

struct SegmentDistance {
  Vec a;
  double dx = 0, dy = 0, invLength2 = 0;

  SegmentDistance(Vec from, Vec to) : a(from), dx(to.x - from.x), dy(to.y - from.y) {
    const double length2 = dx * dx + dy * dy;
    invLength2 = length2 > 0 ? 1 / length2 : 0;
  }
  double squared(double x, double y) const {
    const double px = x - a.x, py = y - a.y;
    const double t = std::clamp((px * dx + py * dy) * invLength2, 0.0, 1.0);
    const double ex = px - t * dx, ey = py - t * dy;
    return ex * ex + ey * ey;
  }
};

std::uint8_t alphaOf(double coverage) {
  return static_cast<std::uint8_t>(std::clamp(coverage, 0.0, 1.0) * 255 + 0.5);
}

// One capsule or triangle, prepared for its rows.
struct Piece {
  const Capsule* capsule = nullptr;
  const Triangle* triangle = nullptr;
  int top = 0, bottom = 0; // rows it may touch, bottom exclusive

  Interval row(double y) const {
    if (capsule) return rowNearSegment(capsule->a, capsule->b, capsule->radius + 0.5, y);
    // A triangle's points within half a pixel: its row interval ends on its edges, so the
    // half-pixel bands around the three edges reach as far as the whole does.
    Interval row;
    for (int i = 0; i < 3; ++i) {
      Interval edge = rowNearSegment(triangle->corner[i], triangle->corner[(i + 1) % 3], 0.5, y);
      row.add(edge.lo, edge.hi);
    }
    return row;
  }

  // Coverage of pixels [x0, x1) of row y, kept where the row already holds more.
  void cover(int y, int x0, int x1, std::uint8_t* alpha) const {
    if (capsule) {
      const SegmentDistance distance(capsule->a, capsule->b);
      const double inner = capsule->radius - 0.5, outer = capsule->radius + 0.5;
      const double inner2 = inner >= 0 ? inner * inner : -1, outer2 = outer * outer;
      for (int x = x0; x < x1; ++x, ++alpha) {
        const double d2 = distance.squared(x, y);
        if (d2 >= outer2) continue;
        const std::uint8_t a = d2 <= inner2 ? 255 : alphaOf(outer - std::sqrt(d2));
        *alpha = std::max(*alpha, a);
      }
      return;
    }
    const Vec* c = triangle->corner;
    const SegmentDistance edges[3] = {{c[0], c[1]}, {c[1], c[2]}, {c[2], c[0]}};
    const double turn = (c[1].x - c[0].x) * (c[2].y - c[0].y) - (c[1].y - c[0].y) * (c[2].x - c[0].x);
    for (int x = x0; x < x1; ++x, ++alpha) {
      bool inside = turn != 0;
      double d2 = infinity;
      for (int i = 0; i < 3; ++i) {
        const Vec& p = c[i];
        const Vec& q = c[(i + 1) % 3];
        const double side = (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
        if (side * turn < 0) inside = false;
        d2 = std::min(d2, edges[i].squared(x, y));
      }
      const double d = std::sqrt(d2);
      const std::uint8_t a = alphaOf(inside ? 0.5 + d : 0.5 - d);
      *alpha = std::max(*alpha, a);
    }
  }
};

// The first whole number above v and the end (exclusive) of those below it, kept within
// [lo, hi]: pixel centres strictly inside an open interval, with no overflow for far-off points.
int firstAbove(double v, int lo, int hi) {
  return std::clamp(static_cast<int>(std::floor(std::clamp(v, lo - 1.0, hi + 1.0))) + 1, lo, hi);
}
int endBelow(double v, int lo, int hi) {
  return std::clamp(static_cast<int>(std::ceil(std::clamp(v, lo - 1.0, hi + 1.0))), lo, hi);
}

struct RowRun {
  int x0, x1;
  const Piece* piece;
};

} // namespace

void coverShape(const Shape& shape, const Rect& area, const CoveredSpan& span) {
  if (area.width() <= 0 || area.height() <= 0) return;
  std::vector<Piece> pieces;
  for (const Capsule& c : shape.capsules) {
    const double reach = c.radius + 0.5;
    pieces.push_back(Piece{&c, nullptr, firstAbove(std::min(c.a.y, c.b.y) - reach, area.top, area.bottom),
                           endBelow(std::max(c.a.y, c.b.y) + reach, area.top, area.bottom)});
  }
  for (const Triangle& t : shape.triangles) {
    const double top = std::min({t.corner[0].y, t.corner[1].y, t.corner[2].y});
    const double bottom = std::max({t.corner[0].y, t.corner[1].y, t.corner[2].y});
    pieces.push_back(Piece{nullptr, &t, firstAbove(top - 0.5, area.top, area.bottom),
                           endBelow(bottom + 0.5, area.top, area.bottom)});
  }
  int top = area.bottom, bottom = area.top;
  for (const Piece& p : pieces) {
    top = std::min(top, p.top);
    bottom = std::max(bottom, p.bottom);
  }

  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(area.width()));
  std::vector<RowRun> runs;
  for (int y = top; y < bottom; ++y) {
    runs.clear();
    for (const Piece& p : pieces) {
      if (y < p.top || y >= p.bottom) continue;
      const Interval row = p.row(y);
      const int x0 = firstAbove(row.lo, area.left, area.right), x1 = endBelow(row.hi, area.left, area.right);
      if (x0 < x1) runs.push_back(RowRun{x0, x1, &p});
    }
    std::sort(runs.begin(), runs.end(), [](const RowRun& l, const RowRun& r) { return l.x0 < r.x0; });
    // Overlapping runs make one span; every piece of it adds its coverage.
    for (std::size_t first = 0; first < runs.size();) {
      std::size_t last = first + 1;
      int x1 = runs[first].x1;
      while (last < runs.size() && runs[last].x0 <= x1) x1 = std::max(x1, runs[last++].x1);
      const int x0 = runs[first].x0;
      std::uint8_t* spanAlpha = alpha.data() + (x0 - area.left);
      std::fill(spanAlpha, spanAlpha + (x1 - x0), std::uint8_t{0});
      for (std::size_t i = first; i < last; ++i)
        runs[i].piece->cover(y, runs[i].x0, runs[i].x1, spanAlpha + (runs[i].x0 - x0));
      span(y, x0, x1, spanAlpha);
      first = last;
    }
  }
}

} // namespace glimor::capture::marks
