#pragma once
#include "platform/timer.h"
#include "win32/window.h"

#include <map>

namespace glimor::win32 {

// Timers on one hidden message window; their ticks arrive through whichever
// message loop runs, also the modal ones.
class Win32Timers final : public platform::Timers, private Window {
public:
  Win32Timers();
  std::unique_ptr<platform::Timer> create(unsigned intervalMs, bool enabled,
                                          std::function<void()> onTick) override;
  std::uint64_t nowMs() const override { return ::GetTickCount64(); }

private:
  friend class Win32Timer;
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::map<UINT_PTR, std::function<void()>> ticks_;
  UINT_PTR nextId_ = 1;
};

} // namespace glimor::win32
