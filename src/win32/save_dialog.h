#pragma once
#include "platform/save_dialog.h"

#include <windows.h>

namespace glimor::win32 {

class Win32SaveDialog final : public platform::SaveDialog {
public:
  void setOwner(HWND owner) { owner_ = owner; }
  std::optional<std::string> ask(const platform::SaveDialogSetup& setup) override;

private:
  HWND owner_ = nullptr;
};

} // namespace glimor::win32
