#include "fakes/fake_timers.h"

#include <algorithm>

namespace glimor::fakes {

class FakeTimer final : public platform::Timer {
public:
  FakeTimer(std::shared_ptr<FakeTimers::Entry> entry, const FakeTimers& clock)
      : entry_(entry), clock_(clock) {}
  ~FakeTimer() override { entry_->enabled = false; }
  void setEnabled(bool enabled) override {
    // Switching a timer on starts a full interval, as SetTimer does.
    if (enabled && !entry_->enabled) entry_->due = clock_.now() + entry_->interval;
    entry_->enabled = enabled;
  }
  bool enabled() const override { return entry_->enabled; }

private:
  std::shared_ptr<FakeTimers::Entry> entry_;
  const FakeTimers& clock_;
};

std::unique_ptr<platform::Timer> FakeTimers::create(unsigned intervalMs, bool enabled,
                                                    std::function<void()> onTick) {
  auto entry = std::make_shared<Entry>(Entry{intervalMs, enabled, now_ + intervalMs, std::move(onTick)});
  entries_.push_back(entry);
  return std::make_unique<FakeTimer>(entry, *this);
}

void FakeTimers::advance(unsigned long long ms) {
  unsigned long long end = now_ + ms;
  for (;;) {
    std::shared_ptr<Entry> next;
    for (auto& e : entries_)
      if (e->enabled && e->due <= end && (!next || e->due < next->due)) next = e;
    if (!next) break;
    now_ = next->due;
    next->due += next->interval;
    next->onTick();
  }
  now_ = end;
}

std::size_t FakeTimers::enabledCount() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](auto& e) { return e->enabled; }));
}

} // namespace glimor::fakes
