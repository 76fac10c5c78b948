#pragma once
#include "win32/window.h"

namespace glimor::win32 {

// The small busy animation of the links page: a 30-frame, 60 x 17 picture of our own drawing,
// shown stretched to the control's size while an upload runs.
class BusyIndicator final : private Window {
public:
  void createWindow(HWND parent, int x, int y, int width, int height);
  // Shown and moving, or hidden and still.
  void setRunning(bool running);
  using Window::hwnd;

  static constexpr int frameCount = 30, frameWidth = 60, frameHeight = 17;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint(HDC dc);

  int frame_ = 0;
};

} // namespace glimor::win32
