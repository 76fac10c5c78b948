#pragma once
#include <chrono>

namespace glimor::platform {

// A moment as the user's clock and calendar show it.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// `when` in the system's time zone, with its daylight saving time as it was then.
LocalTime toLocalTime(std::chrono::system_clock::time_point when);

} // namespace glimor::platform
