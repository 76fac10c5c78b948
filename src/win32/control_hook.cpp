#include "win32/control_hook.h"

#include "win32/window.h"

#include <commctrl.h>

namespace glimor::win32 {
namespace {

constexpr UINT_PTR hookId = 1;

LRESULT CALLBACK routeHooked(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
  auto* handler = reinterpret_cast<ControlHandler*>(data);
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(control, &routeHooked, hookId);
    delete handler;
    return ::DefSubclassProc(control, message, wParam, lParam);
  }
  return reported([&] { return (*handler)(control, message, wParam, lParam); });
}

} // namespace

void hookControl(HWND control, ControlHandler handler) {
  auto* owned = new ControlHandler(std::move(handler));
  if (!::SetWindowSubclass(control, &routeHooked, hookId, reinterpret_cast<DWORD_PTR>(owned))) delete owned;
}

LRESULT callControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefSubclassProc(control, message, wParam, lParam);
}

} // namespace glimor::win32
