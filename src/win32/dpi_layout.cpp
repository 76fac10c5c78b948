#include "win32/dpi_layout.h"

#include "win32/dll_proc.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <utility>

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
  for (const Placed& p : placed_)
    if (p.fitted) ::DeleteObject(p.fitted);
  releaseFonts();
}

void DpiLayout::record(HWND root, CaptionFit fit) {
  fit_ = fit;
  ::EnumChildWindows(root, &DpiLayout::note, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK DpiLayout::note(HWND child, LPARAM self) {
  auto& layout = *reinterpret_cast<DpiLayout*>(self);
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  wchar_t className[16] = L"";
  ::GetClassNameW(child, className, 16);
  // A drop-down list reports its closed height; the design gives it its open one.
  if (lstrcmpiW(className, L"ComboBox") == 0) {
    RECT open{};
    ::SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&open));
    r.bottom = r.top + (open.bottom - open.top);
  }
  auto font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
  layout.placed_.push_back({child, r, font, captionOf(child, className), nullptr});
  return TRUE;
}

DpiLayout::Caption DpiLayout::captionOf(HWND control, const wchar_t* className) {
  auto style = static_cast<DWORD>(::GetWindowLongW(control, GWL_STYLE));
  if (lstrcmpiW(className, L"Button") == 0) {
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
      return Caption::Box;
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      return Caption::PushButton;
    default:
      return Caption::None; // group boxes, owner-drawn buttons
    }
  }
  DWORD type = style & SS_TYPEMASK;
  if (lstrcmpiW(className, L"Static") == 0 &&
      (type == SS_LEFT || type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE))
    return Caption::Label;
  return Caption::None;
}

// The width the control's caption on one line needs in the font the control has now, room
// around it included, and in `height` the caption's height; 0 when it shows no such caption.
int DpiLayout::captionWidth(const Placed& placed, int dpi, LONG& height) {
  wchar_t text[256] = L"";
  int length = ::GetWindowTextW(placed.window, text, 256);
  if (placed.caption == Caption::None || length == 0 || std::wcspbrk(text, L"\r\n")) return 0;
  SIZE size{};
  if (placed.caption == Caption::Label) {
    HDC dc = ::GetDC(placed.window);
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(placed.window, WM_GETFONT, 0, 0)));
    ::GetTextExtentPoint32W(dc, text, length, &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(placed.window, dc);
  } else if (!::SendMessageW(placed.window, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size))) {
    return 0;
  }
  height = size.cy;
  // A button's own measure holds its glyph or frame; around it, room for the focus rectangle and,
  // on a push button, a margin that keeps the caption off the frame.
  int room = placed.caption == Caption::Box          ? scaled(4, dpi)
             : placed.caption == Caption::PushButton ? scaled(10, dpi)
                                                     : 0;
  return size.cx + room;
}

// `at` grown to hold the control's caption.
RECT DpiLayout::growToCaption(const Placed& placed, RECT at, int dpi) {
  LONG height = 0;
  int needed = captionWidth(placed, dpi, height);
  if (placed.caption == Caption::Label) at.bottom = std::max<LONG>(at.bottom, at.top + height);
  int missing = needed - (at.right - at.left);
  if (missing > 0) {
    if (placed.caption == Caption::PushButton) at.left -= missing / 2;
    at.right = at.left + needed;
  }
  return at;
}

// MS Sans Serif is a bitmap face of a few sizes; its outline twin has every size. True when `face`
// was changed to it.
static bool toOutlineFace(LOGFONTW& face) {
  face.lfOutPrecision = OUT_TT_PRECIS;
  if (lstrcmpiW(face.lfFaceName, L"MS Sans Serif") != 0) return false;
  lstrcpynW(face.lfFaceName, L"Microsoft Sans Serif", LF_FACESIZE);
  return true;
}

// The control, placed at `at`, given a font of its own while its caption does not fit: in an
// outline face, one pixel less at a time and measured each time, down to 6 points.
void DpiLayout::shrinkToFit(Placed& placed, const RECT& at, int dpi) {
  LONG height = 0;
  const int width = at.right - at.left;
  if (captionWidth(placed, dpi, height) <= width) return;
  LOGFONTW face{};
  auto font = reinterpret_cast<HFONT>(::SendMessageW(placed.window, WM_GETFONT, 0, 0));
  if (!font || ::GetObjectW(font, sizeof face, &face) != sizeof face) return;
  const LONG from = std::abs(face.lfHeight), fromWidth = face.lfWidth, least = scaled(8, dpi);
  const bool negative = face.lfHeight < 0; // a character height, not a cell height
  for (LONG h = toOutlineFace(face) ? from : from - 1; h >= least; --h) {
    face.lfHeight = negative ? -h : h;
    face.lfWidth = ::MulDiv(fromWidth, h, from);
    HFONT smaller = ::CreateFontIndirectW(&face);
    if (!smaller) break;
    ::SendMessageW(placed.window, WM_SETFONT, reinterpret_cast<WPARAM>(smaller), FALSE);
    if (placed.fitted) ::DeleteObject(placed.fitted);
    placed.fitted = smaller;
    if (captionWidth(placed, dpi, height) <= width) break;
  }
  ::InvalidateRect(placed.window, nullptr, TRUE);
}

void DpiLayout::apply(int dpi) {
  std::map<HFONT, HFONT> fonts;
  for (const Placed& p : placed_) {
    if (!p.font || fonts.count(p.font)) continue;
    HFONT atDpi = p.font;
    LOGFONTW design{};
    if (dpi != 96 && ::GetObjectW(p.font, sizeof design, &design) == sizeof design) {
      design.lfHeight = ::MulDiv(design.lfHeight, dpi, 96);
      design.lfWidth = ::MulDiv(design.lfWidth, dpi, 96);
      toOutlineFace(design);
      if (HFONT made = ::CreateFontIndirectW(&design)) atDpi = made;
    }
    fonts[p.font] = atDpi;
  }
  for (Placed& p : placed_) {
    const RECT& d = p.designed;
    // The font first: a caption is measured in the font it is drawn in.
    if (p.font) ::SendMessageW(p.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[p.font]), TRUE);
    if (p.fitted) ::DeleteObject(std::exchange(p.fitted, nullptr));
    RECT at{scaled(d.left, dpi), scaled(d.top, dpi), scaled(d.right, dpi), scaled(d.bottom, dpi)};
    if (fit_ == CaptionFit::GrowControl) at = growToCaption(p, at, dpi);
    ::SetWindowPos(p.window, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (fit_ == CaptionFit::ShrinkFont) shrinkToFit(p, at, dpi);
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
