#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace glimor::platform {

// Runs `work` on a thread of its own and waits at most `limit` for its result, or until
// `givenUp()` holds (looked at every 100 ms). A call that the system offers no way to bound or
// interrupt (a name lookup) is left to finish on its own; its result is then dropped. `work`
// must own everything it uses.
template <typename Work, typename GivenUp = bool (*)()>
auto callWithin(
    std::chrono::milliseconds limit, Work work, GivenUp givenUp = [] { return false; })
    -> std::optional<decltype(work())> {
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
  const auto end = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(shared->mutex);
  while (!shared->result && !givenUp()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) break;
    shared->done.wait_for(
        lock, std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(100)));
  }
  return std::move(shared->result);
}

} // namespace glimor::platform
