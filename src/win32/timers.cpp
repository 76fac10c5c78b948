#include "win32/timers.h"

namespace glimor::win32 {

class Win32Timer final : public platform::Timer {
public:
  Win32Timer(Win32Timers& owner, UINT_PTR id, unsigned interval)
      : owner_(owner), id_(id), interval_(interval) {}
  ~Win32Timer() override {
    setEnabled(false);
    owner_.ticks_.erase(id_);
  }
  void setEnabled(bool enabled) override {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled)
      ::SetTimer(owner_.hwnd(), id_, interval_, nullptr);
    else
      ::KillTimer(owner_.hwnd(), id_);
  }
  bool enabled() const override { return enabled_; }

private:
  Win32Timers& owner_;
  UINT_PTR id_;
  unsigned interval_;
  bool enabled_ = false;
};

Win32Timers::Win32Timers() {
  registerClass("GlimorTimers");
  Window::create("GlimorTimers", "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
}

std::unique_ptr<platform::Timer> Win32Timers::create(unsigned intervalMs, bool enabled,
                                                     std::function<void()> onTick) {
  UINT_PTR id = nextId_++;
  ticks_[id] = std::move(onTick);
  auto timer = std::make_unique<Win32Timer>(*this, id, intervalMs);
  timer->setEnabled(enabled);
  return timer;
}

LRESULT Win32Timers::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto it = ticks_.find(wParam);
    if (it != ticks_.end()) {
      // A copy: the tick may switch timers on or off, or open a message box.
      auto tick = it->second;
      tick();
    }
    return 0;
  }
  return Window::handle(message, wParam, lParam);
}

} // namespace glimor::win32
