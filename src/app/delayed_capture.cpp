#include "app/delayed_capture.h"

#include <string>

namespace glimor::app {

namespace {
const std::string usualTip = "Glimor!";
} // namespace

DelayedCapture::DelayedCapture(platform::Timers& timers, platform::Tray& tray, std::function<void()> capture)
    : tray_(tray), capture_(std::move(capture)), timer_(timers.create(1000, false, [this] { tick(); })) {}

void DelayedCapture::start() {
  if (counting()) return;
  left_ = seconds;
  showLeft();
  timer_->setEnabled(true);
}

void DelayedCapture::cancel() {
  if (!counting()) return;
  left_ = 0;
  timer_->setEnabled(false);
  tray_.setTip(usualTip);
}

void DelayedCapture::tick() {
  if (--left_ > 0) {
    showLeft();
    return;
  }
  timer_->setEnabled(false);
  tray_.setTip(usualTip);
  // The tip may stand on the screen, under a pointer resting on the icon; no capture holds it.
  tray_.dismissTip();
  capture_();
}

void DelayedCapture::showLeft() {
  tray_.setTip(usualTip + " Capture in " + std::to_string(left_) + " s");
}

} // namespace glimor::app
