#include "win32/recording_view.h"

#include "os/win32/wide_text.h"
#include "record/bar_placement.h"
#include "win32/controls.h"
#include "win32/window.h"

namespace glimor::win32 {

namespace {
constexpr const wchar_t* stripClass = L"GlimorRecordingFrame";
constexpr int stripThickness = 2; // designed, at 96 dpi
constexpr DWORD floating = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
} // namespace

Win32RecordingView::~Win32RecordingView() {
  if (font_) ::DeleteObject(font_);
}

void Win32RecordingView::createWindow(Clicks clicks) {
  registerClass("GlimorRecordingBar", 0, ::GetSysColorBrush(COLOR_BTNFACE));
  create("GlimorRecordingBar", "Glimor recording", WS_POPUP | WS_BORDER, floating, 0, 0, record::barWidth,
         record::barHeight);
  font_ = createFont("MS Sans Serif", 8);
  HWND self = hwnd();
  elapsed_ = createControl(self, {.text = "Recording 0:00",
                                  .x = 8,
                                  .y = 8,
                                  .width = 92,
                                  .height = 13,
                                  .style = SS_LEFT | SS_NOPREFIX,
                                  .font = font_});
  auto button = [&](const char* caption, int x) {
    return createControl(self, {.className = "BUTTON",
                                .text = caption,
                                .x = x,
                                .y = 3,
                                .width = 62,
                                .height = 22,
                                .style = BS_PUSHBUTTON,
                                .font = font_});
  };
  onClick(button("Stop", 104), [stop = std::move(clicks.stop)] { guarded(stop); });
  onClick(button("Discard", 168), [discard = std::move(clicks.discard)] { guarded(discard); });
  layout_.record(self, DpiLayout::CaptionFit::ShrinkFont);

  static const bool registered = [] {
    WNDCLASSW strip{};
    strip.lpfnWndProc = ::DefWindowProcW;
    strip.hInstance = ::GetModuleHandleW(nullptr);
    strip.hbrBackground = ::CreateSolidBrush(RGB(0xE0, 0x20, 0x20));
    strip.lpszClassName = stripClass;
    return ::RegisterClassW(&strip) != 0;
  }();
  (void)registered;
  for (HWND& strip : strips_)
    strip = ::CreateWindowExW(floating | WS_EX_TRANSPARENT | WS_EX_LAYERED, stripClass, L"", WS_POPUP, 0, 0,
                              1, 1, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  for (HWND strip : strips_) ::SetLayeredWindowAttributes(strip, 0, 255, LWA_ALPHA);
}

void Win32RecordingView::show(const screen::Rect& a, const std::optional<screen::Point>& bar, int dpi) {
  const int t = std::max(1, scaled(stripThickness, dpi));
  const RECT places[] = {{a.left - t, a.top - t, a.right + t, a.top},
                         {a.left - t, a.bottom, a.right + t, a.bottom + t},
                         {a.left - t, a.top, a.left, a.bottom},
                         {a.right, a.top, a.right + t, a.bottom}};
  for (std::size_t i = 0; i < strips_.size(); ++i)
    ::SetWindowPos(strips_[i], HWND_TOPMOST, places[i].left, places[i].top, places[i].right - places[i].left,
                   places[i].bottom - places[i].top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (!bar) return;
  if (dpi != layout_.dpi()) layout_.apply(dpi);
  ::SetWindowPos(hwnd(), HWND_TOPMOST, bar->x, bar->y, scaled(record::barWidth, dpi),
                 scaled(record::barHeight, dpi), SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32RecordingView::setElapsed(const std::string& text) {
  setWindowText(elapsed_, "Recording " + text);
}

void Win32RecordingView::hide() {
  for (HWND strip : strips_) ::ShowWindow(strip, SW_HIDE);
  ::ShowWindow(hwnd(), SW_HIDE);
}

// A click on the bar must not take the keyboard from the program being recorded.
LRESULT Win32RecordingView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  return Window::handle(message, wParam, lParam);
}

} // namespace glimor::win32
