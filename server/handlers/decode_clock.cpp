#include "image_check.h"
#include "refusal.h"
#include "thread_time.h"

namespace glimor::server {
namespace {

thread_local ProcessorClock standIn = nullptr;

std::chrono::nanoseconds now() {
  return standIn ? standIn() : threadProcessorTime();
}

} // namespace

void standInProcessorClock(ProcessorClock clock) {
  standIn = clock;
}

DecodeClock::DecodeClock() : start_(now()) {}

bool DecodeClock::overrun() const {
  return now() - start_ > maxDecodeTime;
}

void DecodeClock::check() const {
  if (overrun()) throw tooCostly();
}

bool DecodeClock::overrunAfterRow(std::size_t bytes) {
  work_ += bytes + rowUpkeep;
  if (work_ < workPerReading) return false;
  work_ %= workPerReading;
  return overrun();
}

void DecodeClock::checkAfterRow(std::size_t bytes) {
  if (overrunAfterRow(bytes)) throw tooCostly();
}

} // namespace glimor::server
