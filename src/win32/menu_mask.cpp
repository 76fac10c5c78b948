#include "win32/menu_mask.h"

namespace glimor::win32 {

namespace {
// Assigned to no key on any keyboard: no program acts on it, and it types nothing.
constexpr WORD noKey = 0xE8;

bool down(int key) {
  return ::GetAsyncKeyState(key) < 0;
}
} // namespace

void maskMenuKey(UINT modifiers) {
  bool alt = (modifiers & MOD_ALT) && down(VK_MENU);
  bool windows = (modifiers & MOD_WIN) && (down(VK_LWIN) || down(VK_RWIN));
  if (!alt && !windows) return;
  INPUT press[2] = {};
  for (INPUT& input : press) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = noKey;
  }
  press[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, press, sizeof(INPUT));
}

} // namespace glimor::win32
