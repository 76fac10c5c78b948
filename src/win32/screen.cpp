#include "win32/screen.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace glimor::win32 {

capture::Picture Win32Screen::grabPrimary() {
  int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  capture::Picture picture(width, height, 0);
  HWND desktop = ::GetDesktopWindow();
  HDC screen = ::GetWindowDC(desktop);
  HDC memory = ::CreateCompatibleDC(screen);
  // A top-down 32-bit section, so its rows are the picture's rows.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    HGDIOBJ old = ::SelectObject(memory, section);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    std::memcpy(picture.pixels.data(), bits, picture.pixels.size() * 4);
    for (auto& pixel : picture.pixels) pixel &= 0xFFFFFF;
    ::SelectObject(memory, old);
    ::DeleteObject(section);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(desktop, screen);
  return picture;
}

capture::DisplayFormat Win32Screen::displayFormat() {
  HDC screen = ::GetDC(nullptr);
  capture::DisplayFormat format;
  format.bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL) * ::GetDeviceCaps(screen, PLANES);
  // A palette display's pixel values are indices into the system palette.
  if (format.bitsPerPixel >= 1 && format.bitsPerPixel <= 8) {
    std::vector<PALETTEENTRY> entries(1u << format.bitsPerPixel);
    UINT got = ::GetSystemPaletteEntries(screen, 0, static_cast<UINT>(entries.size()), entries.data());
    if (got == entries.size())
      for (const PALETTEENTRY& e : entries)
        format.palette.push_back(static_cast<std::uint32_t>(e.peRed) << 16 | e.peGreen << 8 | e.peBlue);
  }
  ::ReleaseDC(nullptr, screen);
  return format;
}

} // namespace glimor::win32
