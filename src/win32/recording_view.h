#pragma once
#include "platform/recording_view.h"
#include "win32/dpi_layout.h"
#include "win32/window.h"

#include <array>
#include <functional>

namespace glimor::win32 {

// The recording's frame (four thin strips just outside the recorded rectangle, which the mouse
// passes through) and its bar: the elapsed time, "Stop" and "Discard". None of them takes the
// keyboard from the program the user records.
class Win32RecordingView final : public Window, public platform::RecordingView {
public:
  struct Clicks {
    std::function<void()> stop, discard;
  };
  void createWindow(Clicks clicks);
  ~Win32RecordingView() override;

  void show(const screen::Rect& area, const std::optional<screen::Point>& bar, int dpi) override;
  void setElapsed(const std::string& text) override;
  void hide() override;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

  std::array<HWND, 4> strips_{};
  HWND elapsed_ = nullptr;
  HFONT font_ = nullptr;
  DpiLayout layout_;
};

} // namespace glimor::win32
