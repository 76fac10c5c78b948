#include "win32/controls.h"

namespace glimor::win32 {

HWND createControl(HWND parent, const ControlArgs& s) {
  DWORD style = WS_CHILD | s.style | (s.visible ? WS_VISIBLE : 0);
  HWND control = ::CreateWindowExA(s.exStyle, s.className, s.text.c_str(), style, s.x, s.y, s.width, s.height,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)),
                                   ::GetModuleHandleA(nullptr), nullptr);
  if (control && s.font) ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
  return control;
}

int textWidth(HWND window, HFONT font, const std::string& text) {
  HDC dc = ::GetDC(window);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(window, dc);
  return size.cx;
}

HFONT createFont(const char* face, int points, bool bold) {
  int height = -::MulDiv(points, 96, 72);
  return ::CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face);
}

} // namespace glimor::win32
