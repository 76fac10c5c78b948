#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace glimor::win32 {

// The application's default error report: the error's text in a plain message box, and the program goes on.
void reportError(const std::string& text);

// Runs a message handler under the default error report; 0 when it failed.
template <class Handler> LRESULT reported(Handler&& handler) noexcept {
  try {
    return handler();
  } catch (const std::exception& e) {
    reportError(e.what());
  } catch (...) {
    reportError("Unknown error");
  }
  return 0;
}

// Runs an event handler under the default error report.
void guarded(const std::function<void()>& handler);

// A window object behind an HWND: one static window procedure finds the object
// and forwards every message to its handle() member, under the default error report.
class Window {
public:
  virtual ~Window();
  HWND hwnd() const { return hwnd_; }

  // Registers (once) a window class of this name that routes to objects.
  static void registerClass(const char* className, UINT style = 0, HBRUSH background = nullptr,
                            HICON icon = nullptr);

protected:
  HWND create(const char* className, const std::string& title, DWORD style, DWORD exStyle, int x, int y,
              int w, int h, HWND parent = nullptr, HMENU menu = nullptr);
  virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  // `handler` runs when `control` sends this window (itself or through a panel that passes
  // commands on) the notification `code`; such a command never reaches handle().
  void onCommand(HWND control, WORD code, std::function<void()> handler);
  void onClick(HWND button, std::function<void()> handler) {
    onCommand(button, BN_CLICKED, std::move(handler));
  }

private:
  struct Command {
    HWND control;
    WORD code;
    std::function<void()> handler;
  };
  static LRESULT CALLBACK route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  std::vector<Command> commands_;
};

// What a panel inside a window does with the dialog messages of its controls: a multi-line
// edit sends Tab on to its parent (WM_NEXTDLGCTL) and closes it on Esc (WM_CLOSE).
// The first goes to the top-level window that moves the focus; a panel is never closed.
// Returns true when `message` was one of these.
bool panelDialogMessage(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

// The title of the application window that a second start looks for, and the
// caption of the program's messages.
inline constexpr const char* applicationTitle = "Glimor!";

} // namespace glimor::win32
