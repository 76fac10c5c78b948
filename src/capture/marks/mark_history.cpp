#include "capture/marks/mark_history.h"

#include <algorithm>

namespace glimor::capture::marks {

void MarkHistory::add(Mark mark) {
  marks_.resize(done_);
  marks_.push_back(std::move(mark));
  done_ = marks_.size();
}

bool MarkHistory::undo() {
  if (done_ == 0) return false;
  --done_;
  return true;
}

bool MarkHistory::redo() {
  if (done_ == marks_.size()) return false;
  ++done_;
  return true;
}

void MarkHistory::clear() {
  marks_.clear();
  done_ = 0;
}

int MarkHistory::count(Tool tool) const {
  return static_cast<int>(std::count_if(begin(), end(), [tool](const Mark& m) { return m.tool == tool; }));
}

} // namespace glimor::capture::marks
