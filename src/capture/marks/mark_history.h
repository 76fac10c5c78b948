#pragma once
#include "capture/marks/mark.h"

#include <vector>

namespace glimor::capture::marks {

// The marks of one selection in the order they were drawn, with undo and redo. A new mark drops
// what was undone.
class MarkHistory {
public:
  void add(Mark mark);
  bool undo(); // false when there was nothing to undo
  bool redo();
  void clear();

  // The marks in effect, oldest first.
  const Mark* begin() const { return marks_.data(); }
  const Mark* end() const { return marks_.data() + done_; }
  bool empty() const { return done_ == 0; }
  int count(Tool tool) const;

private:
  std::vector<Mark> marks_;
  std::size_t done_ = 0; // marks_[0, done_) are in effect, the rest can be redone
};

} // namespace glimor::capture::marks
