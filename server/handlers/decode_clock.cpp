#include "image_check.h"
#include "refusal.h"

#include <ctime>

namespace glimor::server {
namespace {

std::chrono::nanoseconds threadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

DecodeClock::DecodeClock() : start_(threadTime()) {}

bool DecodeClock::overrun() const {
  return threadTime() - start_ > maxDecodeTime;
}

void DecodeClock::check() const {
  if (overrun()) throw tooCostly();
}

} // namespace glimor::server
