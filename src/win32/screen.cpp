#include "win32/screen.h"

#include "win32/dll_proc.h"
#include "win32/top_down_bitmap.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace glimor::win32 {

namespace {

int systemDpi() {
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Each monitor's own resolution where Windows has it (8.1 and later); before, one for all.
int dpiOf(HMONITOR monitor) {
  using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static FARPROC forMonitor = [] {
    FARPROC address = nullptr;
    GetDllProc("shcore.dll", "GetDpiForMonitor", address);
    return address;
  }();
  UINT x = 0, y = 0;
  constexpr int effectiveDpi = 0; // MDT_EFFECTIVE_DPI: the scaling the user chose for the monitor
  if (forMonitor &&
      reinterpret_cast<GetDpiForMonitorProc>(reinterpret_cast<void*>(forMonitor))(monitor, effectiveDpi, &x,
                                                                                  &y) == S_OK &&
      y > 0)
    return static_cast<int>(y);
  return systemDpi();
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  reinterpret_cast<std::vector<screen::Monitor>*>(list)->push_back(
      {{r.left, r.top, r.right, r.bottom}, dpiOf(monitor), (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  return TRUE;
}

} // namespace

// The program is per-monitor DPI aware (its manifest), so these rectangles are physical pixels.
std::vector<screen::Monitor> Win32Screen::monitors() {
  std::vector<screen::Monitor> list;
  ::EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&list));
  if (list.empty())
    list.push_back(
        {{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}, systemDpi(), true});
  return list;
}

// The screen is read in bands of a quarter megabyte through one small section, not in one piece:
// under Wine a larger request makes the X server and its client library each take a fresh buffer
// of its size, and a whole 4K screen read cold took 350 ms where its bands take 40. The bands
// follow each other within milliseconds, so what moves on the screen can hardly tear between them.
screen::Picture Win32Screen::grab(const screen::Rect& area) {
  int width = area.width(), height = area.height();
  screen::Picture picture(width, height, 0);
  if (picture.empty()) return picture;
  constexpr std::size_t bandBytes = std::size_t{256} << 10;
  const int bandRows =
      std::clamp(static_cast<int>(bandBytes / (std::size_t{4} * static_cast<std::size_t>(width))), 1, height);
  // The screen's device context spans every monitor, the primary one's top-left at (0, 0).
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  // A top-down 32-bit section, so its rows are the picture's rows.
  BITMAPINFO info = topDownBitmap(width, bandRows);
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    HGDIOBJ old = ::SelectObject(memory, section);
    const auto* band = static_cast<const std::uint32_t*>(bits);
    for (int top = 0; top < height; top += bandRows) {
      const int rows = std::min(bandRows, height - top);
      ::BitBlt(memory, 0, 0, width, rows, screen, area.left, area.top + top, SRCCOPY);
      ::GdiFlush();
      // The fourth byte of a screen pixel means nothing, and a picture's is zero.
      std::transform(band, band + static_cast<std::size_t>(width) * rows, picture.row(top),
                     [](std::uint32_t pixel) { return pixel & 0xFFFFFFu; });
    }
    // What the section held is no longer needed, and none of it outlives the grab.
    std::memset(bits, 0, std::size_t{4} * width * bandRows);
    ::SelectObject(memory, old);
    ::DeleteObject(section);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

screen::DisplayFormat Win32Screen::displayFormat() {
  HDC screen = ::GetDC(nullptr);
  screen::DisplayFormat format;
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
