#pragma once
#include "capture/picture.h"

#include <map>
#include <vector>

namespace glimor::capture::marks {

// The parts of a picture that a drawing changed, kept as bands of rows, each as wide as what
// changed in it: a diagonal line across a 4K screen repaints a thin staircase, not the screen.
class Damage {
public:
  static constexpr int bandRows = 16;

  void addSpan(int y, int x0, int x1); // columns [x0, x1) of row y
  void addRect(const Rect& rect);
  void add(const Damage& other);
  void clear() { bands_.clear(); }
  bool empty() const { return bands_.empty(); }
  // Disjoint rectangles covering every changed pixel, top to bottom.
  std::vector<Rect> rects() const;

private:
  struct Band {
    int top = 0, bottom = 0, left = 0, right = 0;
  };
  std::map<int, Band> bands_; // by band index
};

} // namespace glimor::capture::marks
