#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace glimor::platform {

// Runs `work` on a thread of its own and waits at most `limit` for its result. A call that the
// system offers no way to bound or interrupt (a name lookup) is left to finish on its own;
// its result is then dropped. `work` must own everything it uses.
template <typename Work>
auto callWithin(std::chrono::milliseconds limit, Work work) -> std::optional<decltype(work())> {
  using Result = decltype(work());
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Result> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, work = std::move(work)]() mutable {
    Result result = work();
    std::lock_guard lock(shared->mutex);
    shared->result = std::move(result);
    shared->done.notify_all();
  }).detach();
  std::unique_lock lock(shared->mutex);
  shared->done.wait_for(lock, limit, [&] { return shared->result.has_value(); });
  return std::move(shared->result);
}

} // namespace glimor::platform
