#pragma once
#include "platform/messages.h"
#include "win32/window.h"

#include <windows.h>

namespace glimor::win32 {

class Win32Messages final : public platform::Messages {
public:
  // Questions are owned by the main window once it exists.
  explicit Win32Messages(const Window& owner) : owner_(owner) {}
  void show(const std::string& text) override;
  bool askYesNo(const std::string& text, const std::string& caption, Default preselected) override;
  void beep() override;

private:
  const Window& owner_;
};

} // namespace glimor::win32
