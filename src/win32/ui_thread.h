#pragma once
#include "platform/ui_thread.h"
#include "win32/window.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace glimor::win32 {

// Runs other threads' effects on the thread that created it, through a hidden message window.
// The effects arrive as posted messages, so modal loops (message boxes, the selection window)
// run them too.
class Win32UiThread final : public platform::UiThread, private Window {
public:
  Win32UiThread();
  ~Win32UiThread() override;

  void synchronize(const std::function<void()>& effect) override;
  void post(std::function<void()> effect) override;

  // From now on effects are refused, and a thread waiting for one is released with a refusal.
  // The program calls this before it waits for other threads at its end.
  void close();

private:
  struct Task;
  // Posts `task` to the window's thread; called with mutex_ held. Throws when the window is gone.
  void send(std::shared_ptr<Task> task);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

  std::mutex mutex_;
  std::condition_variable done_;
  bool closed_ = false;
};

} // namespace glimor::win32
