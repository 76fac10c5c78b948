#include "win32/frame_source.h"

#include "win32/top_down_bitmap.h"

#include <algorithm>

namespace glimor::win32 {

Win32FrameSource::~Win32FrameSource() {
  release();
}

void Win32FrameSource::release() {
  if (memory_) {
    ::SelectObject(memory_, previous_);
    ::DeleteDC(memory_);
  }
  if (section_) ::DeleteObject(section_);
  if (screen_) ::ReleaseDC(nullptr, screen_);
  screen_ = memory_ = nullptr;
  section_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

// The performance counter: the tick count moves in steps of 16 ms on Windows, a quarter of a
// frame's time at 15 a second.
std::uint64_t Win32FrameSource::nowMs() {
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER f{};
    return ::QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? static_cast<std::uint64_t>(f.QuadPart) : 1000;
  }();
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
  return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

// As for a still capture, the screen is read in bands of a quarter megabyte: under Wine a larger
// request costs the X server and its client a fresh buffer of its size every time.
bool Win32FrameSource::grab(const screen::Rect& area, bool withPointer, screen::Picture& into) {
  const int width = area.width(), height = area.height();
  if (width <= 0 || height <= 0) return false;
  if (width != width_ || height != height_ || thread_ != ::GetCurrentThreadId()) {
    release();
    screen_ = ::GetDC(nullptr);
    memory_ = ::CreateCompatibleDC(screen_);
    BITMAPINFO info = topDownBitmap(width, height);
    section_ = ::CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!section_ || !bits_) {
      release();
      return false;
    }
    previous_ = ::SelectObject(memory_, section_);
    width_ = width;
    height_ = height;
    thread_ = ::GetCurrentThreadId();
  }
  const int bandRows =
      std::clamp(static_cast<int>((std::size_t{256} << 10) / (4u * static_cast<unsigned>(width))), 1, height);
  for (int top = 0; top < height; top += bandRows)
    if (!::BitBlt(memory_, 0, top, width, std::min(bandRows, height - top), screen_, area.left,
                  area.top + top, SRCCOPY))
      return false;
  if (withPointer) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    ICONINFO icon{};
    if (::GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) && cursor.hCursor &&
        ::GetIconInfo(cursor.hCursor, &icon)) {
      // The pointer as the system shows it, at its size for the display's resolution.
      ::DrawIconEx(memory_, cursor.ptScreenPos.x - static_cast<int>(icon.xHotspot) - area.left,
                   cursor.ptScreenPos.y - static_cast<int>(icon.yHotspot) - area.top, cursor.hCursor, 0, 0, 0,
                   nullptr, DI_NORMAL);
      if (icon.hbmMask) ::DeleteObject(icon.hbmMask);
      if (icon.hbmColor) ::DeleteObject(icon.hbmColor);
    }
  }
  ::GdiFlush();
  if (into.width != width || into.height != height) into = screen::Picture(width, height, 0);
  const auto* pixels = static_cast<const std::uint32_t*>(bits_);
  // The fourth byte of a screen pixel means nothing, and a picture's is zero.
  std::transform(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                 into.pixels.begin(), [](std::uint32_t pixel) { return pixel & 0xFFFFFFu; });
  return true;
}

} // namespace glimor::win32
