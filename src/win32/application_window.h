#pragma once
#include "win32/window.h"

#include <functional>

namespace glimor::win32 {

// The name of the registered window message that asks a running Glimor to end without
// its question: an uninstaller posts it to the window titled "Glimor!".
inline constexpr const char* quitMessageName = "Glimor.Quit";

// The hidden top-level window that carries the application title "Glimor!": the
// window that a second start finds, the owner of the main window, and the receiver
// of the quit message.
class ApplicationWindow final : public Window {
public:
  void createWindow();
  void setOnQuit(std::function<void()> f) { onQuit_ = std::move(f); }

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

  UINT quitMessage_ = 0;
  std::function<void()> onQuit_;
};

} // namespace glimor::win32
