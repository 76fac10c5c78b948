#pragma once
#include "platform/clock.h"

namespace glimor::win32 {

class Win32Clock final : public platform::Clock {
public:
  platform::LocalTime now() const override;
  char dateSeparator() const override;
  char timeSeparator() const override;
};

} // namespace glimor::win32
