#include "app/shortcut.h"

namespace glimor::app {

HotKeyCombination registrationFormOf(std::uint16_t shortcut) {
  HotKeyCombination c;
  c.key = shortcut & 0x1FFFu;
  if (shortcut & 0x2000u) c.modifiers |= 4;
  if (shortcut & 0x4000u) c.modifiers |= 2;
  if (shortcut & 0x8000u) c.modifiers |= 1;
  return c;
}

std::uint16_t shortcutFromControl(unsigned virtualKey, unsigned flags) {
  return static_cast<std::uint16_t>(virtualKey + (flags << 13));
}

} // namespace glimor::app
