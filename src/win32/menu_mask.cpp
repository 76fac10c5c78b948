#include "win32/menu_mask.h"

namespace glimor::win32 {

namespace {
// Assigned to no key on any keyboard: no program acts on it, and it types nothing.
constexpr WORD noKey = 0xE8;
// How long a program is given to take a released Alt, and to leave its menu's mode again.
constexpr int lookMs = 100, stepMs = 10;

bool down(int key) {
  return ::GetAsyncKeyState(key) < 0;
}

void pressNoKey() {
  INPUT press[2] = {};
  for (INPUT& input : press) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = noKey;
  }
  press[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, press, sizeof(INPUT));
}

// The window whose thread tracks a menu, or none.
HWND menuOwnerOf(HWND window) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread) ||
      !(thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)))
    return nullptr;
  return thread.hwndMenuOwner ? thread.hwndMenuOwner : window;
}
} // namespace

void keepMenuBarClosed(UINT modifiers) {
  bool alt = modifiers & MOD_ALT, windows = modifiers & MOD_WIN;
  if ((alt && down(VK_MENU)) || (windows && (down(VK_LWIN) || down(VK_RWIN)))) return pressNoKey();
  if (!alt) return;
  HWND front = ::GetForegroundWindow();
  DWORD process = 0;
  if (!front || (::GetWindowThreadProcessId(front, &process), process == ::GetCurrentProcessId())) return;
  for (int waited = 0; waited < lookMs; waited += stepMs) {
    if (HWND owner = menuOwnerOf(front)) {
      ::PostMessageW(owner, WM_CANCELMODE, 0, 0);
      for (int left = lookMs; left > 0 && menuOwnerOf(front); left -= stepMs) ::Sleep(stepMs);
      ::Sleep(2 * stepMs); // its menu bar drawn plain again
      return;
    }
    ::Sleep(stepMs);
  }
}

} // namespace glimor::win32
