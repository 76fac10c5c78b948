#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

namespace glimor::imaging {

// Runs `work` on a helper thread while the caller goes on; result() waits for it
// and returns its value or rethrows its error. Where no thread can be started the
// work runs in result() instead. The destructor waits, so the work never outlives
// the data it was given.
template <typename Result> class ParallelTask {
public:
  explicit ParallelTask(std::function<Result()> work) : work(std::move(work)) {
    try {
      helper = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      // No thread: result() does the work.
    }
  }
  ~ParallelTask() {
    if (helper.joinable()) helper.join();
  }
  ParallelTask(const ParallelTask&) = delete;
  ParallelTask& operator=(const ParallelTask&) = delete;

  Result result() {
    if (helper.joinable())
      helper.join();
    else if (!value && !error)
      run();
    if (error) std::rethrow_exception(error);
    return std::move(*value);
  }

private:
  void run() {
    try {
      value.emplace(work());
    } catch (...) {
      error = std::current_exception();
    }
  }

  std::function<Result()> work;
  std::optional<Result> value;
  std::exception_ptr error;
  std::thread helper;
};

} // namespace glimor::imaging
