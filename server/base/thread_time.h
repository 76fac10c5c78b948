#pragma once
#include <chrono>
#include <ctime>

namespace glimor::server {

// The processor time the calling thread has spent since it was made.
inline std::chrono::nanoseconds threadProcessorTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace glimor::server
