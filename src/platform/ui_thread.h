#pragma once
#include <functional>

namespace glimor::platform {

// The user-interface thread as another thread reaches it.
class UiThread {
public:
  virtual ~UiThread() = default;
  // Runs `effect` on the user-interface thread and returns when it has run; an exception it
  // throws comes back to the caller. Throws Error when the window is gone and nothing can run.
  virtual void synchronize(const std::function<void()>& effect) = 0;
  // Has `effect` run on the user-interface thread after every effect asked for before it, and
  // returns at once; whatever it throws is dropped. Throws Error when the window is gone.
  virtual void post(std::function<void()> effect) = 0;
};

} // namespace glimor::platform
