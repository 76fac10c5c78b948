#pragma once
#include "platform/screen.h"

namespace glimor::win32 {

class Win32Screen final : public platform::Screen {
public:
  capture::Picture grabPrimary() override;
  capture::DisplayFormat displayFormat() override;
};

} // namespace glimor::win32
