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

// A segment with what every row and pixel asks of it worked out once.
class Segment {
public:
  Segment() = default;
  Segment(Vec from, Vec to) : a_(from), b_(to), dx_(to.x - from.x), dy_(to.y - from.y) {
    length_ = std::hypot(dx_, dy_);
    if (length_ > 0) {
      ux_ = dx_ / length_;
      uy_ = dy_ / length_;
      invLength2_ = 1 / (length_ * length_);
    }
  }

  // The x of the points of row y closer than `reach` to the segment. The set is convex, so it is
  // one interval: the union of what the two end discs and the band between them give.
  Interval row(double reach, double y) const {
    Interval row;
    for (const Vec& end : {a_, b_}) {
      const double dy = y - end.y;
      if (std::abs(dy) < reach) {
        const double half = std::sqrt(reach * reach - dy * dy);
        row.add(end.x - half, end.x + half);
      }
    }
    if (length_ == 0) return row;
    double lo = -infinity, hi = infinity;
    auto keep = [&](double e1, double e2) {
      lo = std::max(lo, a_.x + std::min(e1, e2));
      hi = std::min(hi, a_.x + std::max(e1, e2));
    };
    // Distance from the segment's line: |ux (y - a.y) - uy (x - a.x)| < reach.
    const double across = ux_ * (y - a_.y);
    if (uy_ == 0) {
      if (std::abs(across) >= reach) return row;
    } else {
      keep((across - reach) / uy_, (across + reach) / uy_);
    }
    // Projection on the segment: 0 <= ux (x - a.x) + uy (y - a.y) <= length.
    const double along = uy_ * (y - a_.y);
    if (ux_ == 0) {
      if (along < 0 || along > length_) return row;
    } else {
      keep(-along / ux_, (length_ - along) / ux_);
    }
    if (lo < hi) row.add(lo, hi);
    return row;
  }

  double distance2(double x, double y) const {
    const double px = x - a_.x, py = y - a_.y;
    const double t = std::clamp((px * dx_ + py * dy_) * invLength2_, 0.0, 1.0);
    const double ex = px - t * dx_, ey = py - t * dy_;
    return ex * ex + ey * ey;
  }

private:
  Vec a_, b_;
  double dx_ = 0, dy_ = 0, length_ = 0, ux_ = 0, uy_ = 0, invLength2_ = 0;
};

std::uint8_t alphaOf(double coverage) {
  return static_cast<std::uint8_t>(std::clamp(coverage, 0.0, 1.0) * 255 + 0.5);
}

// The first whole number above v and the end (exclusive) of those below it, kept within
// [lo, hi]: pixel centres strictly inside an open interval, with no overflow for far-off points.
int firstAbove(double v, int lo, int hi) {
  return std::clamp(static_cast<int>(std::floor(std::clamp(v, lo - 1.0, hi + 1.0))) + 1, lo, hi);
}
int endBelow(double v, int lo, int hi) {
  return std::clamp(static_cast<int>(std::ceil(std::clamp(v, lo - 1.0, hi + 1.0))), lo, hi);
}

// One capsule (edge[0] its segment) or triangle (its three edges), prepared for its rows.
struct Piece {
  bool triangle = false;
  double radius = 0, turn = 0; // a capsule's radius; a triangle's orientation
  Vec corner[3];
  Segment edge[3];
  int top = 0, bottom = 0; // rows it may touch, bottom exclusive

  Interval row(double y) const {
    if (!triangle) return edge[0].row(radius + 0.5, y);
    // Within half a pixel of a triangle: its row interval ends on its edges, so the half-pixel
    // bands around the three edges reach as far as the whole does.
    Interval row;
    for (const Segment& e : edge) {
      const Interval near = e.row(0.5, y);
      row.add(near.lo, near.hi);
    }
    return row;
  }

  // Coverage of pixels [x0, x1) of row y into alpha, kept where the row already holds more.
  void cover(int y, int x0, int x1, std::uint8_t* alpha) const {
    triangle ? coverTriangle(y, x0, x1, alpha) : coverCapsule(y, x0, x1, alpha);
  }

  void coverCapsule(int y, int x0, int x1, std::uint8_t* alpha) const {
    // Pixels closer than radius - 0.5 are fully covered: found per row and filled; only the
    // fringe on either side is measured pixel by pixel.
    const double inner = radius - 0.5, outer = radius + 0.5;
    int full0 = x1, full1 = x1;
    if (inner > 0) {
      const Interval full = edge[0].row(inner, y);
      full0 = firstAbove(full.lo, x0, x1);
      full1 = std::max(full0, endBelow(full.hi, x0, x1));
    }
    auto fringe = [&](int from, int to) {
      for (int x = from; x < to; ++x) {
        const double d2 = edge[0].distance2(x, y);
        if (d2 < outer * outer) alpha[x - x0] = std::max(alpha[x - x0], alphaOf(outer - std::sqrt(d2)));
      }
    };
    fringe(x0, full0);
    std::fill(alpha + (full0 - x0), alpha + (full1 - x0), std::uint8_t{255});
    fringe(full1, x1);
  }

  // Signed distance to the nearest edge: coverage 0.5 on the edge, rising inward.
  void coverTriangle(int y, int x0, int x1, std::uint8_t* alpha) const {
    for (int x = x0; x < x1; ++x) {
      bool inside = turn != 0;
      double d2 = infinity;
      for (int i = 0; i < 3; ++i) {
        const Vec& p = corner[i];
        const Vec& q = corner[(i + 1) % 3];
        if (((q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x)) * turn < 0) inside = false;
        d2 = std::min(d2, edge[i].distance2(x, y));
      }
      const double d = std::sqrt(d2);
      alpha[x - x0] = std::max(alpha[x - x0], alphaOf(inside ? 0.5 + d : 0.5 - d));
    }
  }
};

struct RowRun {
  int x0, x1;
  const Piece* piece;
};

} // namespace

void coverShape(const Shape& shape, const Rect& area, const CoveredSpan& span) {
  if (area.width() <= 0 || area.height() <= 0) return;
  std::vector<Piece> pieces;
  for (const Capsule& c : shape.capsules) {
    Piece p;
    p.radius = c.radius;
    p.edge[0] = Segment(c.a, c.b);
    const double reach = c.radius + 0.5;
    p.top = firstAbove(std::min(c.a.y, c.b.y) - reach, area.top, area.bottom);
    p.bottom = endBelow(std::max(c.a.y, c.b.y) + reach, area.top, area.bottom);
    pieces.push_back(p);
  }
  for (const Triangle& t : shape.triangles) {
    Piece p;
    p.triangle = true;
    const Vec* c = t.corner;
    p.turn = (c[1].x - c[0].x) * (c[2].y - c[0].y) - (c[1].y - c[0].y) * (c[2].x - c[0].x);
    for (int i = 0; i < 3; ++i) {
      p.corner[i] = c[i];
      p.edge[i] = Segment(c[i], c[(i + 1) % 3]);
    }
    p.top = firstAbove(std::min({c[0].y, c[1].y, c[2].y}) - 0.5, area.top, area.bottom);
    p.bottom = endBelow(std::max({c[0].y, c[1].y, c[2].y}) + 0.5, area.top, area.bottom);
    pieces.push_back(p);
  }
  // Pieces by their first row: each row looks only at those that have begun.
  std::sort(pieces.begin(), pieces.end(), [](const Piece& l, const Piece& r) { return l.top < r.top; });

  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(area.width()));
  std::vector<const Piece*> active;
  std::vector<RowRun> runs;
  std::size_t next = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    while (next < pieces.size() && pieces[next].top <= y) active.push_back(&pieces[next++]);
    std::erase_if(active, [y](const Piece* p) { return p->bottom <= y; });
    if (active.empty()) {
      if (next == pieces.size()) break;
      y = pieces[next].top - 1; // skip to where the next piece begins
      continue;
    }
    runs.clear();
    for (const Piece* p : active) {
      const Interval row = p->row(y);
      const int x0 = firstAbove(row.lo, area.left, area.right), x1 = endBelow(row.hi, area.left, area.right);
      if (x0 < x1) runs.push_back(RowRun{x0, x1, p});
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
