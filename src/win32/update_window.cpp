#include "win32/update_window.h"

#include <windows.h>

namespace glimor::win32 {

void UpdateWindow::processMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The loop that ends the program is the outer one; it must still see the request.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

} // namespace glimor::win32
