#pragma once
#include "platform/timer.h"

#include <memory>
#include <vector>

namespace glimor::fakes {

// A fake clock that drives every timer made through it: advance(ms) fires each
// enabled timer as often as its interval has passed, in time order.
class FakeTimers final : public platform::Timers {
public:
  struct Entry {
    unsigned interval;
    bool enabled;
    unsigned long long due;
    std::function<void()> onTick;
  };

  std::unique_ptr<platform::Timer> create(unsigned intervalMs, bool enabled,
                                          std::function<void()> onTick) override;
  void advance(unsigned long long ms);
  unsigned long long now() const { return now_; }
  std::uint64_t nowMs() const override { return now_; }
  std::size_t enabledCount() const;

private:
  friend class FakeTimer;
  std::vector<std::shared_ptr<Entry>> entries_;
  unsigned long long now_ = 0;
};

} // namespace glimor::fakes
