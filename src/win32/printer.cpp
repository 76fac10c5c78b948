#include "win32/printer.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"

#include <commdlg.h>

#include <vector>

namespace glimor::win32 {

Win32Printer::~Win32Printer() {
  releaseDc();
  if (devMode_) ::GlobalFree(devMode_);
  if (devNames_) ::GlobalFree(devNames_);
}

void Win32Printer::releaseDc() {
  if (font_) ::DeleteObject(font_);
  font_ = nullptr;
  if (dc_) ::DeleteDC(dc_);
  dc_ = nullptr;
}

bool Win32Printer::setup() {
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_.hwnd();
  dialog.hDevMode = devMode_;
  dialog.hDevNames = devNames_;
  dialog.Flags = PD_PRINTSETUP | PD_RETURNDC;
  if (!::PrintDlgW(&dialog)) return false;
  devMode_ = dialog.hDevMode;
  devNames_ = dialog.hDevNames;
  releaseDc();
  dc_ = dialog.hDC;
  return true;
}

void Win32Printer::beginJob(const std::string& title) {
  if (!dc_) throw Error("There is no default printer currently selected");
  const std::wstring name = widenShown(title);
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = name.c_str();
  if (::StartDocW(dc_, &doc) <= 0 || ::StartPage(dc_) <= 0) throw Error("Printing failed");
  jobOpen_ = true;
}

void Win32Printer::endJob() {
  if (!jobOpen_) return;
  jobOpen_ = false;
  ::EndPage(dc_);
  if (::EndDoc(dc_) <= 0) throw Error("Printing failed");
}

void Win32Printer::abortJob() {
  if (jobOpen_) ::AbortDoc(dc_);
  jobOpen_ = false;
}

int Win32Printer::pageWidth() {
  return ::GetDeviceCaps(dc_, HORZRES);
}
int Win32Printer::pageHeight() {
  return ::GetDeviceCaps(dc_, VERTRES);
}
int Win32Printer::dpiY() {
  return ::GetDeviceCaps(dc_, LOGPIXELSY);
}

void Win32Printer::setFont(const std::string& face, int height) {
  HFONT font =
      ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, widen(face).c_str());
  ::SelectObject(dc_, font);
  if (font_) ::DeleteObject(font_);
  font_ = font;
}

int Win32Printer::textWidth(const std::string& text) {
  SIZE size{};
  const std::wstring wide = widenShown(text);
  ::GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

int Win32Printer::textHeight(const std::string& text) {
  SIZE size{};
  const std::wstring wide = widenShown(text);
  ::GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cy;
}

void Win32Printer::textOut(int x, int y, const std::string& text) {
  ::SetBkMode(dc_, OPAQUE);
  ::SetBkColor(dc_, RGB(255, 255, 255));
  const std::wstring wide = widenShown(text);
  ::TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void Win32Printer::drawPicture(const screen::Rect& r, const screen::Picture& picture) {
  // 24 bits per pixel, bottom-up rows padded to four bytes: the device-independent form printers take.
  int stride = (picture.width * 3 + 3) & ~3;
  std::vector<BYTE> rows(static_cast<std::size_t>(stride) * static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    BYTE* out = rows.data() + static_cast<std::size_t>(picture.height - 1 - y) * stride;
    const std::uint32_t* in = picture.row(y);
    for (int x = 0; x < picture.width; ++x) {
      out[3 * x] = static_cast<BYTE>(in[x]);
      out[3 * x + 1] = static_cast<BYTE>(in[x] >> 8);
      out[3 * x + 2] = static_cast<BYTE>(in[x] >> 16);
    }
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  ::StretchDIBits(dc_, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, picture.width, picture.height,
                  rows.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

} // namespace glimor::win32
