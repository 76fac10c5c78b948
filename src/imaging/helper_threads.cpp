#include "imaging/helper_threads.h"

#include <algorithm>
#include <system_error>

namespace glimor::imaging {

HelperThreads& HelperThreads::shared() {
  static HelperThreads* helpers =
      new HelperThreads(std::clamp(static_cast<int>(std::thread::hardware_concurrency()) - 1, 0, 3));
  return *helpers;
}

HelperThreads::HelperThreads(int count) {
  try {
    for (int i = 0; i < count; ++i) threads_.emplace_back([this] { serve(); });
  } catch (const std::system_error&) {
    // Fewer helpers: the callers do more of the work themselves.
  }
}

void HelperThreads::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return offered_ > 0; });
    --offered_;
    ++running_;
    lock.unlock();
    try {
      task_();
    } catch (...) { // the task reports its own failures; a helper lives on
    }
    lock.lock();
    --running_;
    changed_.notify_all();
  }
}

bool HelperThreads::lend(int wanted, std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (lent_ || threads_.empty()) return false;
  lent_ = true;
  task_ = std::move(task);
  offered_ = std::clamp(wanted, 0, count());
  changed_.notify_all();
  return true;
}

void HelperThreads::takeBack() {
  std::unique_lock lock(mutex_);
  offered_ = 0;
  changed_.wait(lock, [&] { return running_ == 0; });
  task_ = nullptr;
  lent_ = false;
}

} // namespace glimor::imaging
