#include "win32/update_window.h"

#include "win32/main_window.h"

namespace glimor::win32 {

void UpdateWindow::setUpdateStatus(std::string_view text, std::string_view reason) {
  main_.setStatus(1, std::string(text));
  main_.setStatusTip(std::string(reason.empty() ? text : reason));
}

bool UpdateWindow::autoUpdateTicked() {
  return main_.checked(platform::CheckBox::AutoUpdate);
}

void UpdateWindow::showMainWindow() {
  main_.show();
}

// The window's end ends the message loop, without the question that closing it asks.
void UpdateWindow::endApplication() {
  ::DestroyWindow(main_.hwnd());
}

} // namespace glimor::win32
