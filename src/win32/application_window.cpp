#include "win32/application_window.h"

#include "os/win32/wide_text.h"

namespace glimor::win32 {

void ApplicationWindow::createWindow() {
  quitMessage_ = ::RegisterWindowMessageW(widen(quitMessageName).c_str());
  registerClass("GlimorApplication", 0, nullptr, ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON"));
  Window::create("GlimorApplication", applicationTitle, WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
}

LRESULT ApplicationWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (quitMessage_ != 0 && message == quitMessage_) {
    if (onQuit_) guarded(onQuit_);
    return 0;
  }
  return Window::handle(message, wParam, lParam);
}

} // namespace glimor::win32
