#pragma once
#include <windows.h>

#include <string>

namespace glimor::win32 {

// A tooltip window for the controls of `owner`; null when the system gives none, and the controls
// work without.
HWND createTooltips(HWND owner);
// `text` shows over `control`, a child of `parent`, while the mouse rests on it.
void addTooltip(HWND tips, HWND parent, HWND control, const std::string& text);
// Another text for a control's tooltip.
void setTooltipText(HWND tips, HWND parent, HWND control, const std::string& text);

} // namespace glimor::win32
