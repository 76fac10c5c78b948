#pragma once
#include "platform/screen.h"

namespace glimor::win32 {

class Win32Screen final : public platform::Screen {
public:
  std::vector<screen::Monitor> monitors() override;
  screen::Picture grab(const screen::Rect& area) override;
  screen::DisplayFormat displayFormat() override;
  std::vector<screen::WindowBox> windows() override;
};

} // namespace glimor::win32
