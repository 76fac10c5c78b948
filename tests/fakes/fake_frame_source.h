#pragma once
// The live screen on a clock of its own: each grab takes `grabMs` of that clock and gives a
// picture filled with the grab's number, so that a test knows which frame went where.
#include "platform/frame_source.h"
#include "platform/recording_view.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace glimor::fakes {

class FakeFrameSource final : public platform::FrameSource {
public:
  bool grab(const screen::Rect& area, bool withPointer, screen::Picture& into) override {
    std::unique_lock lock(mutex);
    const int number = grabs++;
    pointerAsked = withPointer;
    if (holdAt && number == *holdAt) {
      held = true;
      changed.notify_all();
      changed.wait(lock, [&] { return !holdAt; });
    }
    clock += grabMs;
    if (failAt && number == *failAt) return false;
    into = screen::Picture(area.width(), area.height(), static_cast<std::uint32_t>(number));
    return true;
  }
  std::uint64_t nowMs() override {
    std::lock_guard lock(mutex);
    ++readings;
    changed.notify_all();
    return clock;
  }
  int readingsSoFar() {
    std::lock_guard lock(mutex);
    return readings;
  }
  int grabsSoFar() {
    std::lock_guard lock(mutex);
    return grabs;
  }
  // Waits until the clock has been read more than `count` times: a stop reads it once.
  void waitForReadings(int count) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return readings > count; });
  }

  // Waits until the grab numbered `holdAt` has begun; it then waits for release().
  void waitUntilHeld() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return held; });
  }
  void release() {
    std::lock_guard lock(mutex);
    holdAt.reset();
    held = false;
    changed.notify_all();
  }
  // Time passes with no grab.
  void advance(std::uint64_t ms) {
    std::lock_guard lock(mutex);
    clock += ms;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t clock = 5000, grabMs = 100;
  int grabs = 0, readings = 0;
  bool pointerAsked = false, held = false;
  std::optional<int> holdAt, failAt;
};

class FakeRecordingView final : public platform::RecordingView {
public:
  void show(const screen::Rect& a, const std::optional<screen::Point>& at, int d) override {
    shown = true;
    area = a;
    bar = at;
    dpi = d;
  }
  void setElapsed(const std::string& text) override { elapsed = text; }
  void hide() override { shown = false; }

  bool shown = false;
  screen::Rect area;
  std::optional<screen::Point> bar;
  int dpi = 0;
  std::string elapsed;
};

} // namespace glimor::fakes
