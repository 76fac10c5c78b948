#include "win32/ui_thread.h"

#include "platform/error.h"

#include <exception>
#include <memory>

namespace glimor::win32 {

namespace {
constexpr UINT runEffect = WM_APP + 1;
}

struct Win32UiThread::Task {
  const std::function<void()>* effect = nullptr;
  std::function<void()> posted; // the effect, for one that nobody waits for
  bool done = false;
  std::exception_ptr failure;
};

Win32UiThread::Win32UiThread() {
  registerClass("GlimorUiThread");
  Window::create("GlimorUiThread", "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
}

Win32UiThread::~Win32UiThread() {
  close();
}

void Win32UiThread::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  done_.notify_all();
}

void Win32UiThread::synchronize(const std::function<void()>& effect) {
  auto task = std::make_shared<Task>();
  task->effect = &effect;
  std::unique_lock lock(mutex_);
  send(task);
  done_.wait(lock, [&] { return task->done || closed_; });
  if (!task->done) throw Error("The window is gone.");
  if (task->failure) std::rethrow_exception(task->failure);
}

void Win32UiThread::post(std::function<void()> effect) {
  auto task = std::make_shared<Task>();
  task->posted = std::move(effect);
  task->effect = &task->posted;
  std::lock_guard lock(mutex_);
  send(std::move(task));
}

void Win32UiThread::send(std::shared_ptr<Task> task) {
  if (closed_) throw Error("The window is gone.");
  // The message carries its own reference, so a task given up on stays valid until it is handled.
  auto* message = new std::shared_ptr<Task>(std::move(task));
  if (!::PostMessageW(hwnd(), runEffect, 0, reinterpret_cast<LPARAM>(message))) {
    delete message;
    throw Error("The window is gone.");
  }
}

LRESULT Win32UiThread::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != runEffect) return Window::handle(message, wParam, lParam);
  std::unique_ptr<std::shared_ptr<Task>> owned(reinterpret_cast<std::shared_ptr<Task>*>(lParam));
  Task& task = **owned;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return 0; // the waiting thread has been released; its effect no longer applies
  }
  try {
    (*task.effect)();
  } catch (...) {
    task.failure = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  task.done = true;
  done_.notify_all();
  return 0;
}

} // namespace glimor::win32
