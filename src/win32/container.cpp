#include "win32/container.h"

namespace glimor::win32 {

HWND Container::create(HWND parent, HWND notify, int x, int y, int w, int h, bool visible, bool sunken,
                       const char* className) {
  notify_ = notify;
  registerClass(className);
  return Window::create(className, "", WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0),
                        WS_EX_CONTROLPARENT | (sunken ? WS_EX_CLIENTEDGE : 0), x, y, w, h, parent);
}

LRESULT Container::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (panelDialogMessage(hwnd(), message, wParam, lParam)) return 0;
  switch (message) {
  case WM_COMMAND:
  case WM_NOTIFY:
  case WM_DRAWITEM:
    return ::SendMessageW(notify_, message, wParam, lParam);
  default:
    return Window::handle(message, wParam, lParam);
  }
}

} // namespace glimor::win32
