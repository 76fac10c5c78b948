#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace glimor::platform {

// A repeating timer of a window: while enabled it calls its tick function every
// interval on the user-interface thread.
class Timer {
public:
  virtual ~Timer() = default;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
};

class Timers {
public:
  virtual ~Timers() = default;
  virtual std::unique_ptr<Timer> create(unsigned intervalMs, bool enabled, std::function<void()> onTick) = 0;
  // Milliseconds on the clock the timers count by, from an arbitrary start: how long ago a timer
  // was switched on is the difference of two readings.
  virtual std::uint64_t nowMs() const = 0;
};

} // namespace glimor::platform
