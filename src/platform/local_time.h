#pragma once
#include "platform/clock.h"

#include <chrono>

namespace glimor::platform {

// `when` in the system's time zone, with its daylight saving time as it was then.
LocalTime toLocalTime(std::chrono::system_clock::time_point when);

} // namespace glimor::platform
