#pragma once
#include "platform/screen.h"

namespace glimor::win32 {

class Win32Screen final : public platform::Screen {
public:
  std::vector<capture::Monitor> monitors() override;
  capture::Picture grab(const capture::Rect& area) override;
  capture::DisplayFormat displayFormat() override;
  std::vector<capture::WindowBox> windows() override;
};

} // namespace glimor::win32
