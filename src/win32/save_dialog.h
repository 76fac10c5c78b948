#pragma once
#include "platform/save_dialog.h"
#include "win32/window.h"

#include <windows.h>

namespace glimor::win32 {

class Win32SaveDialog final : public platform::SaveDialog {
public:
  // The dialog is owned by this window.
  explicit Win32SaveDialog(const Window& owner) : owner_(owner) {}
  std::optional<std::string> ask(const platform::SaveDialogSetup& setup) override;

private:
  const Window& owner_;
};

} // namespace glimor::win32
