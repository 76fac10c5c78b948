#include "win32/selection_window.h"

#include "capture/marks/mark.h"
#include "capture/selection_geometry.h"
#include "os/win32/wide_text.h"
#include "win32/control_ids.h"
#include "win32/controls.h"
#include "win32/dll_proc.h"
#include "win32/tooltips.h"
#include "win32/top_down_bitmap.h"

#include <optional>
#include <utility>

namespace glimor::win32 {

namespace {
const char* const publishTip =
    "Publish the selection and copy its link (Enter); Ctrl+C copies the picture itself instead";
const char* const recordTip = "Record this part of the screen as it goes on (Enter)";
} // namespace

namespace {
int xOf(LPARAM l) {
  return static_cast<short>(LOWORD(l));
}
int yOf(LPARAM l) {
  return static_cast<short>(HIWORD(l));
}
} // namespace

void SelectionWindow::createWindow() {
  registerClass("GlimorSelection", CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  Window::create("GlimorSelection", "Edit", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, 0,
                 0, w, h);
  font_ = createFont("MS Sans Serif", 8);
  boldFont_ = createFont("MS Sans Serif", 8, true);
  tips_ = createTooltips(hwnd());
  createPanel();
  createKeyHints();
  strip_.create(hwnd(), [this](int slot) { onStripClick(slot); });
}

void SelectionWindow::createPanel() {
  HWND panel = panel_.create(hwnd(), hwnd(), 0, 0, capture::panelWidth, capture::panelHeight, false);
  auto button = [&](const char* caption, int x, int y, int width, DWORD style, int id, HFONT font) {
    return createControl(panel, {.className = "BUTTON",
                                 .text = caption,
                                 .x = x,
                                 .y = y,
                                 .width = width,
                                 .height = 17,
                                 .style = style,
                                 .id = id,
                                 .font = font});
  };
  glimoIt_ = button("", 2, 1, 177, BS_OWNERDRAW, ids::glimoIt, boldFont_);
  addTooltip(tips_, panel, glimoIt_, publishTip);
  addTooltip(tips_, panel, button("S a v e", 1, 17, 65, BS_PUSHBUTTON, ids::save, font_),
             "Save the selection to a file of your choice");
  addTooltip(tips_, panel, button("P r i n t", 66, 17, 56, BS_PUSHBUTTON, ids::print, font_),
             "Print the selection");
  addTooltip(tips_, panel, button("C a n c e l", 121, 17, 57, BS_PUSHBUTTON, ids::cancel, font_),
             "Close without publishing (Esc)");
  // The panel's size is the core's, which places it on the monitor: its buttons keep their share,
  // and a caption too wide for its button is drawn smaller.
  layout_.record(hwnd(), DpiLayout::CaptionFit::ShrinkFont);
  layout_.apply(dpiOf(hwnd()));
}

// One line of small text under the panel and the strip: the keys that do what the buttons do.
void SelectionWindow::createKeyHints() {
  HWND bar = hints_.create(hwnd(), hwnd(), 0, 0, capture::keyHintsWidth, capture::keyHintsHeight, false);
  hintsText_ = createControl(bar, {.text = capture::keyHints,
                                   .x = 4,
                                   .y = 1,
                                   .width = capture::keyHintsWidth - 8,
                                   .height = capture::keyHintsHeight - 2,
                                   .style = SS_LEFT | SS_NOPREFIX,
                                   .font = font_});
  hintsLayout_.record(bar, DpiLayout::CaptionFit::ShrinkFont);
  hintsLayout_.apply(dpiOf(hwnd()));
}

// The strip's buttons choose a tool; the keyboard then stays with the picture, where the keys,
// the wheel and the typed text belong.
void SelectionWindow::onStripClick(int slot) {
  ::SetFocus(hwnd());
  if (!core_) return;
  if (slot < capture::marks::toolCount)
    core_->onToolClick(slot);
  else
    core_->onStyleClick();
}

// The window covers what was captured (every monitor, or the primary one), one window pixel per
// pixel of the capture: the program is per-monitor DPI aware, so Windows scales nothing here.
void SelectionWindow::coverScreen(UINT flags) {
  screen::Rect area = state_.screen.area;
  if (area.width() <= 0 || area.height() <= 0)
    area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SetWindowPos(hwnd(), HWND_TOPMOST, area.left, area.top, area.width(), area.height(), flags);
}

void SelectionWindow::showModal() {
  coverScreen(SWP_SHOWWINDOW);
  takeForeground();
  if (core_) guarded([this] { core_->onShow(); });
  // The window under the pointer is outlined at once, not from the mouse's first move.
  POINT at{};
  if (core_ && ::GetCursorPos(&at) && ::ScreenToClient(hwnd(), &at))
    guarded([&] { core_->onMouseMove(at.x, at.y); });
  ::InvalidateRect(hwnd(), nullptr, FALSE);
  MSG message;
  while (visible()) {
    int got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      close();
      break;
    }
    dispatch(message);
  }
}

namespace {
std::optional<capture::Arrow> arrowOf(WPARAM key) {
  switch (key) {
  case VK_LEFT:
    return capture::Arrow::Left;
  case VK_RIGHT:
    return capture::Arrow::Right;
  case VK_UP:
    return capture::Arrow::Up;
  case VK_DOWN:
    return capture::Arrow::Down;
  default:
    return std::nullopt;
  }
}
} // namespace

// The window sees every key first, whichever of its buttons has the focus; the arrows move the
// pointer, not the focus.
void SelectionWindow::dispatch(const MSG& message) {
  bool ours = core_ && (message.hwnd == hwnd() || ::IsChild(hwnd(), message.hwnd));
  if (message.message == WM_KEYDOWN && ours) {
    if (auto arrow = arrowOf(message.wParam)) {
      guarded([&] { core_->onArrowKey(*arrow, ::GetKeyState(VK_SHIFT) < 0); });
      return;
    }
  }
  if (message.message == WM_CHAR && ours) {
    char key = static_cast<char>(message.wParam);
    guarded([&] { core_->onKeyPress(key); });
    if (key == 27) return;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void SelectionWindow::rememberForeground() {
  userForeground_ = ::GetForegroundWindow();
}

// Only to a window that is still there to be worked in; our own main window, if it is shown
// again, takes it as its own.
void SelectionWindow::restoreForeground() {
  HWND window = std::exchange(userForeground_, nullptr);
  if (window && window != hwnd() && window != ::GetDesktopWindow() && ::IsWindow(window) &&
      ::IsWindowVisible(window) && !::IsIconic(window))
    ::SetForegroundWindow(window);
}

// With desktop composition the windows beneath are drawn already, and the next frame shows them;
// without it (older systems, Wine) their programs draw them again, which takes a moment.
void SelectionWindow::waitForScreenToSettle() {
  using Flush = HRESULT(WINAPI*)();
  using CompositionEnabled = HRESULT(WINAPI*)(BOOL*);
  static FARPROC flush = nullptr, enabled = nullptr;
  static bool looked = GetDllProc("dwmapi.dll", "DwmFlush", flush) &&
                       GetDllProc("dwmapi.dll", "DwmIsCompositionEnabled", enabled);
  BOOL composed = FALSE;
  if (looked && reinterpret_cast<CompositionEnabled>(reinterpret_cast<void*>(enabled))(&composed) == S_OK &&
      composed) {
    auto flushNow = reinterpret_cast<Flush>(reinterpret_cast<void*>(flush));
    flushNow();
    flushNow();
    return;
  }
  constexpr DWORD redrawMs = 200;
  ::Sleep(redrawMs);
}

// The selection takes the keyboard and the mouse, whatever had them: the hot key was the last
// input, so the system lets this program take the foreground. A program that the hot key's Alt
// left in its menu bar's mode holds the mouse (and under Wine the pointer) until that mode ends.
void SelectionWindow::takeForeground() {
  HWND previous = ::GetForegroundWindow();
  if (previous && previous != hwnd()) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(previous, nullptr), &thread) &&
        (thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)))
      ::PostMessageW(thread.hwndMenuOwner ? thread.hwndMenuOwner : previous, WM_CANCELMODE, 0, 0);
  }
  ::SetForegroundWindow(hwnd());
  if (::GetForegroundWindow() != hwnd() && previous) {
    // Refused (the system's foreground lock): the window in front shares its input with ours
    // for the moment of the change.
    DWORD theirs = ::GetWindowThreadProcessId(previous, nullptr), ours = ::GetCurrentThreadId();
    if (theirs != ours && ::AttachThreadInput(ours, theirs, TRUE)) {
      ::SetForegroundWindow(hwnd());
      ::AttachThreadInput(ours, theirs, FALSE);
    }
  }
  ::SetActiveWindow(hwnd());
  ::SetFocus(hwnd());
}

void SelectionWindow::close() {
  if (::GetCapture() == hwnd()) ::ReleaseCapture();
  ::ShowWindow(hwnd(), SW_HIDE);
  if (core_) core_->onClose();
}

bool SelectionWindow::visible() const {
  return hwnd() && ::IsWindowVisible(hwnd());
}

void SelectionWindow::repaint() {
  ::InvalidateRect(hwnd(), nullptr, FALSE);
  ::UpdateWindow(hwnd());
}

void SelectionWindow::setPanelVisible(bool visible) {
  ::ShowWindow(panel_.hwnd(), visible ? SW_SHOW : SW_HIDE);
  ::ShowWindow(hints_.hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

// The panel is laid out for the resolution of the monitor it stands on, which need not be the
// one the window counts as its own.
void SelectionWindow::placePanel(int left, int top, int dpi) {
  if (dpi != layout_.dpi()) layout_.apply(dpi);
  ::SetWindowPos(panel_.hwnd(), HWND_TOP, left, top, 0, 0, SWP_NOSIZE);
}

void SelectionWindow::setGlimoButton(const std::string& caption, bool enabled) {
  glimoCaption_ = caption;
  setWindowText(glimoIt_, caption);
  setTooltipText(tips_, panel_.hwnd(), glimoIt_, caption == capture::recordCaption ? recordTip : publishTip);
  ::EnableWindow(glimoIt_, enabled);
  ::InvalidateRect(glimoIt_, nullptr, TRUE);
}

void SelectionWindow::repaint(const std::vector<screen::Rect>& parts) {
  for (const screen::Rect& part : parts) {
    RECT r{part.left, part.top, part.right, part.bottom};
    ::InvalidateRect(hwnd(), &r, FALSE);
  }
  ::UpdateWindow(hwnd());
}

void SelectionWindow::setKeyHints(const std::string& text) {
  setWindowText(hintsText_, text);
}

void SelectionWindow::placeKeyHints(int left, int top, int dpi) {
  if (dpi != hintsLayout_.dpi()) hintsLayout_.apply(dpi);
  ::SetWindowPos(hints_.hwnd(), HWND_TOP, left, top, scaled(capture::keyHintsWidth, dpi),
                 scaled(capture::keyHintsHeight, dpi), SWP_NOACTIVATE);
}

// A popup menu at the pointer, answered before it returns.
int SelectionWindow::chooseFromMenu(const std::vector<MenuItem>& items) {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].label.empty())
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      ::AppendMenuW(menu, MF_STRING | (items[i].checked ? MF_CHECKED : 0), i + 1,
                    widenShown(items[i].label).c_str());
  }
  POINT at{};
  ::GetCursorPos(&at);
  int chosen = static_cast<int>(
      ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTBUTTON, at.x, at.y, 0, hwnd(), nullptr));
  ::DestroyMenu(menu);
  return chosen - 1;
}

void SelectionWindow::placeToolStrip(int left, int top, int dpi) {
  strip_.place(left, top, dpi);
}

void SelectionWindow::setToolStripVisible(bool visible) {
  strip_.setVisible(visible);
}

void SelectionWindow::showTool(int tool, std::uint32_t colour, int size) {
  tool_ = tool;
  strip_.showTool(tool, colour, size);
}

void SelectionWindow::processMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    dispatch(message);
  }
}

void SelectionWindow::sleep(unsigned ms) {
  ::Sleep(ms);
}

// Picture pixel (0, 0) is the captured area's top-left corner on the screen.
screen::Point SelectionWindow::pointer() const {
  POINT at{};
  ::GetCursorPos(&at);
  return {at.x - state_.screen.area.left, at.y - state_.screen.area.top};
}

void SelectionWindow::movePointer(screen::Point to) {
  ::SetCursorPos(to.x + state_.screen.area.left, to.y + state_.screen.area.top);
}

// Only what changed is drawn: a mark in progress invalidates the bands it touched, and the update
// region keeps them apart, where the paint rectangle would be their bounding box.
void SelectionWindow::paint() {
  HRGN update = ::CreateRectRgn(0, 0, 0, 0);
  bool parts = update && ::GetUpdateRgn(hwnd(), update, FALSE) == COMPLEXREGION;
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd(), &ps);
  std::vector<std::uint8_t> data(parts ? ::GetRegionData(update, 0, nullptr) : 0);
  if (!data.empty() &&
      ::GetRegionData(update, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()))) {
    const auto* region = reinterpret_cast<const RGNDATA*>(data.data());
    const auto* rects = reinterpret_cast<const RECT*>(region->Buffer);
    for (DWORD i = 0; i < region->rdh.nCount; ++i) paintPart(dc, rects[i]);
  } else {
    paintPart(dc, ps.rcPaint);
  }
  ::EndPaint(hwnd(), &ps);
  if (update) ::DeleteObject(update);
}

// The part's rows are handed over as a top-down picture of their own, so no source offset has to
// be read the way bottom-up pictures count rows.
void SelectionWindow::paintPart(HDC dc, const RECT& part) {
  const screen::Picture& p = state_.p;
  int left = std::max(0, static_cast<int>(part.left)), top = std::max(0, static_cast<int>(part.top));
  int right = std::min(p.width, static_cast<int>(part.right)),
      bottom = std::min(p.height, static_cast<int>(part.bottom));
  if (p.empty() || right <= left || bottom <= top) return;
  BITMAPINFO info = topDownBitmap(p.width, bottom - top);
  ::SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(right - left), static_cast<DWORD>(bottom - top), left,
                      0, 0, static_cast<UINT>(bottom - top), p.row(top), &info, DIB_RGB_COLORS);
}

// The wheel's notches (120 each, a fine wheel sends less) set the size of the next mark.
void SelectionWindow::onWheel(WPARAM wParam) {
  wheelRest_ += GET_WHEEL_DELTA_WPARAM(wParam);
  int notches = wheelRest_ / WHEEL_DELTA;
  wheelRest_ -= notches * WHEEL_DELTA;
  if (notches != 0 && core_) core_->onWheel(notches);
}

// The publish button: bold red text, grey when disabled.
void SelectionWindow::drawGlimoButton(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  bool pressed = item.itemState & ODS_SELECTED, disabled = item.itemState & ODS_DISABLED;
  ::DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : RGB(255, 0, 0));
  HGDIOBJ old =
      ::SelectObject(item.hDC, reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  ::DrawTextW(item.hDC, widenShown(glimoCaption_).c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) {
    ::InflateRect(&r, -3, -3);
    ::DrawFocusRect(item.hDC, &r);
  }
}

LRESULT SelectionWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_SETCURSOR:
    if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd()) {
      auto cursor = tool_ < 0                                               ? IDC_HAND
                    : tool_ == static_cast<int>(capture::marks::Tool::Text) ? IDC_IBEAM
                                                                            : IDC_CROSS;
      ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(cursor)));
      return TRUE;
    }
    break;
  case WM_MOUSEWHEEL:
    onWheel(wParam);
    return 0;
  case WM_LBUTTONDOWN:
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN:
  // A quick second press arrives as a double click; it is a press like the first.
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONDBLCLK:
    ::SetFocus(hwnd());
    ::SetCapture(hwnd());
    if (core_) core_->onMouseDown(xOf(lParam), yOf(lParam));
    return 0;
  case WM_MOUSEMOVE:
    if (core_) core_->onMouseMove(xOf(lParam), yOf(lParam));
    return 0;
  case WM_LBUTTONUP:
  case WM_RBUTTONUP:
  case WM_MBUTTONUP:
    if (::GetCapture() == hwnd()) ::ReleaseCapture();
    if (core_ && visible()) core_->onMouseUp(xOf(lParam), yOf(lParam));
    return 0;
  case WM_DRAWITEM: {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (item->CtlID == ids::glimoIt) {
      drawGlimoButton(*item);
      return TRUE;
    }
    break;
  }
  case WM_COMMAND:
    if (core_ && HIWORD(wParam) == BN_CLICKED) {
      switch (LOWORD(wParam)) {
      case ids::glimoIt:
        core_->confirmSelection();
        break;
      case ids::save:
        core_->onSaveClick();
        break;
      case ids::print:
        core_->onPrintClick();
        break;
      case ids::cancel:
        core_->onCancelClick();
        break;
      default:
        break;
      }
    }
    return 0;
  case WM_CLOSE:
    close();
    return 0;
  // The window spans monitors of their own resolutions: it keeps covering them 1:1, and the
  // panel keeps the resolution of its monitor.
  case WM_DPICHANGED:
    coverScreen(SWP_NOACTIVATE);
    return 0;
  default:
    break;
  }
  return Window::handle(message, wParam, lParam);
}

} // namespace glimor::win32
