#pragma once
#include <windows.h>

namespace glimor::win32 {

// The header of a 32-bit picture whose rows run top-down, as screen::Picture keeps them.
inline BITMAPINFO topDownBitmap(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

} // namespace glimor::win32
