#pragma once
#include "capture/screen_terms.h"

#include <map>
#include <vector>

namespace glimor::capture::marks {

// The parts of a picture that a drawing changed, kept as bands of rows, each as wide as what
// changed in it: a diagonal line across a 4K screen repaints a thin staircase, not the screen.
// A band keeps apart the runs of columns that lie far from each other, so a wavy stroke that
// crosses a band several times repaints its crossings, not the whole width between them.
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
  struct Run { // rows [top, bottom) and columns [left, right) of one band
    int top = 0, bottom = 0, left = 0, right = 0;
  };
  void addRun(int band, const Run& run);
  std::map<int, std::vector<Run>> bands_; // by band index; each band's runs apart and left to right
};

} // namespace glimor::capture::marks
