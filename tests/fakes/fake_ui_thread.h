#pragma once
#include "platform/error.h"
#include "platform/ui_thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace glimor::fakes {

// A user-interface thread played by the test's own thread: a worker's effects queue up and run
// only when the test pumps them, each on the pumping thread, while the worker waits.
class FakeUiThread final : public platform::UiThread {
public:
  void synchronize(const std::function<void()>& effect) override {
    std::unique_lock lock(mutex_);
    if (closed_) throw Error("The window is gone.");
    auto task = std::make_shared<Task>();
    task->effect = &effect;
    queue_.push_back(task);
    changed_.notify_all();
    changed_.wait(lock, [&] { return task->done || closed_; });
    if (!task->done) throw Error("The window is gone.");
    if (task->failure) std::rethrow_exception(task->failure);
  }

  void post(std::function<void()> effect) override {
    std::lock_guard lock(mutex_);
    if (closed_) throw Error("The window is gone.");
    auto task = std::make_shared<Task>();
    task->posted = std::move(effect);
    task->effect = &task->posted;
    queue_.push_back(task);
    changed_.notify_all();
  }

  // Runs queued effects on this thread until `until` holds; waits for the worker in between.
  template <class Condition> void pumpUntil(Condition until) {
    std::unique_lock lock(mutex_);
    for (;;) {
      while (!queue_.empty()) {
        auto task = queue_.front();
        queue_.pop_front();
        lock.unlock();
        ranOn.push_back(std::this_thread::get_id());
        try {
          (*task->effect)();
        } catch (...) {
          task->failure = std::current_exception();
        }
        lock.lock();
        task->done = true;
        changed_.notify_all();
      }
      if (until()) return;
      changed_.wait_for(lock, std::chrono::milliseconds(5));
    }
  }

  // Effects asked for after this are refused, and a waiting one is woken with a refusal.
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  std::vector<std::thread::id> ranOn; // the thread each effect ran on (only the pumping one writes)

private:
  struct Task {
    const std::function<void()>* effect = nullptr;
    std::function<void()> posted; // the effect, for one that nobody waits for
    bool done = false;
    std::exception_ptr failure;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Task>> queue_;
  bool closed_ = false;
};

} // namespace glimor::fakes
