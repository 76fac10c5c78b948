#pragma once
#include <windows.h>

#include <functional>

namespace glimor::win32 {

// What a hooked control does with a message before (or instead of) its own processing, which it
// reaches through callControl().
using ControlHandler = std::function<LRESULT(HWND control, UINT message, WPARAM wParam, LPARAM lParam)>;

// Passes every message of a standard control through `handler`, under the default error report
// that every window procedure has, for as long as the control lives.
void hookControl(HWND control, ControlHandler handler);

// The control's own processing of a message, for a ControlHandler.
LRESULT callControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace glimor::win32
