#pragma once
#include "platform/clipboard.h"
#include "platform/picture_clipboard.h"

#include <windows.h>

namespace glimor::win32 {

class Win32Clipboard final : public platform::Clipboard, public platform::PictureClipboard {
public:
  void setOwner(HWND owner) { owner_ = owner; }
  bool setText(const std::string& text) override;
  std::optional<std::string> text() override;
  bool clearIfText(const std::string& text) override;
  // As a 24-bit device-independent bitmap (CF_DIBV5, rows bottom-up: what every program pastes)
  // and as PNG.
  bool setPicture(const screen::Picture& picture, std::span<const std::uint8_t> png) override;
  void sleep(unsigned ms) override { ::Sleep(ms); }

private:
  HWND owner_ = nullptr;
};

} // namespace glimor::win32
