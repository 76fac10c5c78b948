#include "win32/busy_indicator.h"

namespace glimor::win32 {
namespace {

constexpr UINT_PTR frameTimer = 1;
constexpr UINT frameMs = 66; // 30 frames in about two seconds

// One frame: three blue blocks travelling left to right over a pale groove, the leading one
// darkest, so the direction reads even when the picture is stretched.
void drawFrame(HDC dc, int frame) {
  RECT groove{0, 0, BusyIndicator::frameWidth, BusyIndicator::frameHeight};
  HBRUSH pale = ::CreateSolidBrush(RGB(236, 240, 248));
  ::FillRect(dc, &groove, pale);
  ::DeleteObject(pale);
  constexpr int block = 6, gap = 2, blocks = 3;
  constexpr int travel = BusyIndicator::frameWidth + blocks * (block + gap);
  int lead = frame * travel / BusyIndicator::frameCount;
  for (int i = 0; i < blocks; ++i) {
    int left = lead - i * (block + gap) - block;
    RECT box{left, 5, left + block, BusyIndicator::frameHeight - 5};
    int shade = 60 + i * 60;
    HBRUSH brush = ::CreateSolidBrush(RGB(shade / 2, shade, 200));
    ::FillRect(dc, &box, brush);
    ::DeleteObject(brush);
  }
}

} // namespace

void BusyIndicator::createWindow(HWND parent, int x, int y, int width, int height) {
  registerClass("GlimorBusy");
  Window::create("GlimorBusy", "", WS_CHILD, 0, x, y, width, height, parent);
}

void BusyIndicator::setRunning(bool running) {
  if (running) {
    frame_ = 0;
    ::SetTimer(hwnd(), frameTimer, frameMs, nullptr);
    ::ShowWindow(hwnd(), SW_SHOWNA);
  } else {
    ::KillTimer(hwnd(), frameTimer);
    ::ShowWindow(hwnd(), SW_HIDE);
  }
}

void BusyIndicator::paint(HDC dc) {
  // Drawn at its own size, then stretched to the control in one copy.
  HDC memory = ::CreateCompatibleDC(dc);
  HBITMAP picture = ::CreateCompatibleBitmap(dc, frameWidth, frameHeight);
  HGDIOBJ previous = ::SelectObject(memory, picture);
  drawFrame(memory, frame_);
  RECT client;
  ::GetClientRect(hwnd(), &client);
  ::StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, frameWidth, frameHeight, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteObject(picture);
  ::DeleteDC(memory);
}

LRESULT BusyIndicator::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_TIMER:
    frame_ = (frame_ + 1) % frameCount;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_PAINT: {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    paint(dc);
    ::EndPaint(hwnd(), &ps);
    return 0;
  }
  default:
    return Window::handle(message, wParam, lParam);
  }
}

} // namespace glimor::win32
