#pragma once
#include <algorithm>
#include <chrono>

namespace glimor::platform {

// A point in time that a whole operation must finish by; its waits are each cut to what is left.
class Deadline {
public:
  using Clock = std::chrono::steady_clock;

  explicit Deadline(std::chrono::milliseconds limit) : end_(Clock::now() + limit) {}

  std::chrono::milliseconds left() const {
    // Rounded up, so a wait of this long ends at or after the deadline, never just before it.
    auto rest = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now());
    return std::max(rest, std::chrono::milliseconds(0));
  }
  bool passed() const { return Clock::now() >= end_; }
  // The shorter of `pause` and what is left.
  std::chrono::milliseconds cut(std::chrono::milliseconds pause) const { return std::min(pause, left()); }

private:
  Clock::time_point end_;
};

} // namespace glimor::platform
