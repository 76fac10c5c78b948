#pragma once
#include "platform/clipboard.h"

#include <windows.h>

namespace glimor::win32 {

class Win32Clipboard final : public platform::Clipboard {
public:
  void setOwner(HWND owner) { owner_ = owner; }
  bool setText(const std::string& text) override;
  std::optional<std::string> text() override;
  bool clearIfText(const std::string& text) override;
  void sleep(unsigned ms) override { ::Sleep(ms); }

private:
  HWND owner_ = nullptr;
};

} // namespace glimor::win32
