#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace glimor::imaging {

// Threads kept for the whole run for work shared out among the cores: under Wine on a busy
// computer, starting a thread takes milliseconds before it runs, as long as the work it would
// share. One caller at a time borrows them.
class HelperThreads {
public:
  // The program's helpers, one for each core but the caller's (at most three), started on first
  // use and never ended: the end of the process stops them where they wait.
  static HelperThreads& shared();
  int count() const { return static_cast<int>(threads_.size()); }

  // Offers `task` to up to `wanted` helpers, each of which runs it once if it comes before
  // takeBack(); the task must do without those that do not. False, with nothing offered, while
  // another caller has them.
  bool lend(int wanted, std::function<void()> task);
  // Withdraws the offer and returns once every helper that took the task has finished it.
  void takeBack();

private:
  explicit HelperThreads(int count);
  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;
  int offered_ = 0, running_ = 0;
  bool lent_ = false;
  std::vector<std::thread> threads_;
};

} // namespace glimor::imaging
