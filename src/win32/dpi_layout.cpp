#include "win32/dpi_layout.h"

#include "win32/dll_proc.h"

namespace glimor::win32 {

int dpiOf(HWND window) {
  // Windows 10 1607 and later know each monitor's resolution; before, one for all.
  static FARPROC forWindow = [] {
    FARPROC address = nullptr;
    GetDllProc("user32.dll", "GetDpiForWindow", address);
    return address;
  }();
  if (forWindow && window) {
    UINT dpi = reinterpret_cast<UINT(WINAPI*)(HWND)>(reinterpret_cast<void*>(forWindow))(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

SIZE frameFor(int width, int height, DWORD style, DWORD exStyle, int dpi) {
  static FARPROC forDpi = [] {
    FARPROC address = nullptr;
    GetDllProc("user32.dll", "AdjustWindowRectExForDpi", address);
    return address;
  }();
  RECT frame{0, 0, scaled(width, dpi), scaled(height, dpi)};
  if (forDpi)
    reinterpret_cast<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(reinterpret_cast<void*>(forDpi))(
        &frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
  else
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

DpiLayout::~DpiLayout() {
  releaseFonts();
}

void DpiLayout::record(HWND root) {
  ::EnumChildWindows(root, &DpiLayout::note, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK DpiLayout::note(HWND child, LPARAM self) {
  auto& layout = *reinterpret_cast<DpiLayout*>(self);
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  char className[16] = "";
  ::GetClassNameA(child, className, sizeof className);
  // A drop-down list reports its closed height; the design gives it its open one.
  if (lstrcmpiA(className, "ComboBox") == 0) {
    RECT open{};
    ::SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&open));
    r.bottom = r.top + (open.bottom - open.top);
  }
  auto font = reinterpret_cast<HFONT>(::SendMessageA(child, WM_GETFONT, 0, 0));
  layout.placed_.push_back({child, r, font});
  return TRUE;
}

void DpiLayout::apply(int dpi) {
  std::map<HFONT, HFONT> fonts;
  for (const Placed& p : placed_) {
    if (!p.font || fonts.count(p.font)) continue;
    HFONT atDpi = p.font;
    LOGFONTA design{};
    if (dpi != 96 && ::GetObjectA(p.font, sizeof design, &design) == sizeof design) {
      design.lfHeight = ::MulDiv(design.lfHeight, dpi, 96);
      design.lfWidth = ::MulDiv(design.lfWidth, dpi, 96);
      // MS Sans Serif is a bitmap face of a few sizes; its outline twin scales to any.
      if (lstrcmpiA(design.lfFaceName, "MS Sans Serif") == 0)
        lstrcpynA(design.lfFaceName, "Microsoft Sans Serif", LF_FACESIZE);
      design.lfOutPrecision = OUT_TT_PRECIS;
      if (HFONT made = ::CreateFontIndirectA(&design)) atDpi = made;
    }
    fonts[p.font] = atDpi;
  }
  for (const Placed& p : placed_) {
    const RECT& d = p.designed;
    int left = scaled(d.left, dpi), top = scaled(d.top, dpi);
    ::SetWindowPos(p.window, nullptr, left, top, scaled(d.right, dpi) - left, scaled(d.bottom, dpi) - top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (p.font) ::SendMessageA(p.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[p.font]), TRUE);
  }
  releaseFonts();
  fonts_ = std::move(fonts);
  dpi_ = dpi;
}

void DpiLayout::releaseFonts() {
  for (auto [designed, atDpi] : fonts_)
    if (atDpi != designed) ::DeleteObject(atDpi);
  fonts_.clear();
}

} // namespace glimor::win32
