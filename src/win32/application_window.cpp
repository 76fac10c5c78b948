#include "win32/application_window.h"

namespace glimor::win32 {

void ApplicationWindow::createWindow() {
  registerClass("GlimorApplication", 0, nullptr, ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON"));
  Window::create("GlimorApplication", applicationTitle, WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
}

} // namespace glimor::win32
