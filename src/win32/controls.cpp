#include "win32/controls.h"

#include "os/win32/wide_text.h"

namespace glimor::win32 {

HWND createControl(HWND parent, const ControlArgs& s) {
  DWORD style = WS_CHILD | s.style | (s.visible ? WS_VISIBLE : 0);
  HWND control = ::CreateWindowExW(
      s.exStyle, widen(s.className).c_str(), widenShown(s.text).c_str(), style, s.x, s.y, s.width, s.height,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), ::GetModuleHandleW(nullptr), nullptr);
  if (control && s.font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
  return control;
}

int textWidth(HWND window, HFONT font, const std::string& text) {
  HDC dc = ::GetDC(window);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  const std::wstring wide = widenShown(text);
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(window, dc);
  return size.cx;
}

HFONT createFont(const char* face, int points, bool bold) {
  int height = -::MulDiv(points, 96, 72);
  return ::CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       widen(face).c_str());
}

std::string windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return narrow(text);
}

void setWindowText(HWND window, const std::string& text) {
  ::SetWindowTextW(window, widenShown(text).c_str());
}

} // namespace glimor::win32
