#pragma once
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
};

} // namespace glimor::platform
