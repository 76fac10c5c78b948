#pragma once
#include "platform/timer.h"
#include "platform/tray.h"

#include <functional>
#include <memory>

namespace glimor::app {

// "Capture in 3 seconds": the seconds left are counted down in the tray icon's tip, which no
// capture holds, and then the capture runs as the hot key's does.
class DelayedCapture {
public:
  static constexpr int seconds = 3;

  DelayedCapture(platform::Timers& timers, platform::Tray& tray, std::function<void()> capture);

  // Nothing when a countdown runs already: a second click does not push the capture further off.
  void start();
  // Another capture came first; the tip reads as usual again.
  void cancel();
  bool counting() const { return left_ > 0; }

private:
  void tick();
  void showLeft();

  platform::Tray& tray_;
  std::function<void()> capture_;
  std::unique_ptr<platform::Timer> timer_;
  int left_ = 0;
};

} // namespace glimor::app
