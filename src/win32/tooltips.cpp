#include "win32/tooltips.h"

#include "os/win32/wide_text.h"

#include <commctrl.h>

namespace glimor::win32 {

HWND createTooltips(HWND owner) {
  return ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

void addTooltip(HWND tips, HWND parent, HWND control, const std::string& text) {
  if (!tips) return;
  std::wstring copy = widenShown(text); // the tooltip copies it, from a writable buffer
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = parent;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = copy.data();
  ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void setTooltipText(HWND tips, HWND parent, HWND control, const std::string& text) {
  if (!tips) return;
  std::wstring copy = widenShown(text);
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = parent;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = copy.data();
  ::SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace glimor::win32
