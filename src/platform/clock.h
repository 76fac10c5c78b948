#pragma once

namespace glimor::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The local date and time with the system's separators.
class Clock {
public:
  virtual ~Clock() = default;
  virtual LocalTime now() const = 0;
  virtual char dateSeparator() const = 0;
  virtual char timeSeparator() const = 0;
};

} // namespace glimor::platform
