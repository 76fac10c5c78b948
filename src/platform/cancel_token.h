#pragma once
#include "platform/deadline.h"
#include "platform/error.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace glimor::platform {

// What an exchange that was called off fails with.
inline constexpr std::string_view cancelledText = "The exchange was cancelled.";

// The user called the exchange off: nothing failed, so nothing is reported as a failure.
class Cancelled : public Error {
public:
  Cancelled() : Error(std::string(cancelledText)) {}
};

// Lets another thread call off an exchange: every bounded wait of a connection made with it
// looks at it at least every checkInterval and then throws Cancelled.
class CancelToken {
public:
  static constexpr std::chrono::milliseconds checkInterval{100};

  void cancel() { cancelled_ = true; }
  void reset() { cancelled_ = false; }
  bool cancelled() const { return cancelled_; }
  void throwIfCancelled() const {
    if (cancelled_) throw Cancelled();
  }

private:
  std::atomic<bool> cancelled_{false};
};

// Waits at most `limit` through `wait(slice)` (true when what it waits for has happened), in
// slices of at most checkInterval, so that a cancel ends the wait. False when `limit` ran out.
template <class Wait>
bool waitUnlessCancelled(std::chrono::milliseconds limit, const CancelToken& cancel, Wait wait) {
  const Deadline deadline(limit);
  for (;;) {
    cancel.throwIfCancelled();
    if (wait(std::min(deadline.left(), CancelToken::checkInterval))) return true;
    if (deadline.passed()) {
      cancel.throwIfCancelled();
      return false;
    }
  }
}

} // namespace glimor::platform
