#include "win32/tooltips.h"

#include <commctrl.h>

namespace glimor::win32 {

HWND createTooltips(HWND owner) {
  return ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           ::GetModuleHandleA(nullptr), nullptr);
}

void addTooltip(HWND tips, HWND parent, HWND control, const std::string& text) {
  if (!tips) return;
  std::string copy = text; // the tooltip copies it, from a writable buffer
  TOOLINFOA info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = parent;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = copy.data();
  ::SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void setTooltipText(HWND tips, HWND parent, HWND control, const std::string& text) {
  if (!tips) return;
  std::string copy = text;
  TOOLINFOA info{};
  info.cbSize = sizeof info;
  info.hwnd = parent;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = copy.data();
  ::SendMessageA(tips, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace glimor::win32
