#include "win32/window.h"

#include "os/win32/wide_text.h"

#include <algorithm>

namespace glimor::win32 {

Window::~Window() {
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
}

void Window::registerClass(const char* className, UINT style, HBRUSH background, HICON icon) {
  const std::wstring name = widen(className);
  WNDCLASSEXW wc{};
  if (::GetClassInfoExW(::GetModuleHandleW(nullptr), name.c_str(), &wc)) return;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = &Window::route;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = icon;
  wc.lpszClassName = name.c_str();
  ::RegisterClassExW(&wc);
}

HWND Window::create(const char* className, const std::string& title, DWORD style, DWORD exStyle, int x, int y,
                    int w, int h, HWND parent, HMENU menu) {
  hwnd_ = ::CreateWindowExW(exStyle, widen(className).c_str(), widenShown(title).c_str(), style, x, y, w, h,
                            parent, menu, ::GetModuleHandleW(nullptr), this);
  return hwnd_;
}

LRESULT Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Window::onCommand(HWND control, WORD code, std::function<void()> handler) {
  commands_.push_back({control, code, std::move(handler)});
}

LRESULT Window::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && lParam) {
    auto control = reinterpret_cast<HWND>(lParam);
    auto command = std::find_if(commands_.begin(), commands_.end(), [&](const Command& c) {
      return c.control == control && c.code == HIWORD(wParam);
    });
    if (command != commands_.end()) {
      command->handler();
      return 0;
    }
  }
  LRESULT result = handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) hwnd_ = nullptr;
  return result;
}

LRESULT CALLBACK Window::route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return reported([&] { return self->dispatch(message, wParam, lParam); });
}

bool panelDialogMessage(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NEXTDLGCTL) ::SendMessageW(::GetAncestor(panel, GA_ROOT), message, wParam, lParam);
  return message == WM_NEXTDLGCTL || message == WM_CLOSE;
}

void reportError(const std::string& text) {
  ::MessageBoxW(::GetActiveWindow(), widenShown(text).c_str(), widen(applicationTitle).c_str(), MB_OK);
}

void guarded(const std::function<void()>& handler) {
  reported([&] {
    handler();
    return LRESULT{0};
  });
}

} // namespace glimor::win32
