#pragma once
#include "platform/ini_keys.h"

#include <cstdint>
#include <string>

namespace glimor::app {

// A shortcut value packs a virtual-key code (low byte) with 0x2000 Shift,
// 0x4000 Ctrl and 0x8000 Alt. 32881 (0x8071) is Alt+F2.
inline constexpr std::uint16_t defaultShortcut = platform::ini::hotKey.fallback;
inline constexpr std::uint16_t defaultRecordShortcut = platform::ini::recordHotKey.fallback; // Shift+Alt+F2

struct HotKeyCombination {
  unsigned key = 0;
  unsigned modifiers = 0; // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4
};

HotKeyCombination registrationFormOf(std::uint16_t shortcut);

// From the hot key control's key code and flags (Shift 1, Ctrl 2, Alt 4, extended 8);
// the extended-key flag falls off the top of the 16 bits.
std::uint16_t shortcutFromControl(unsigned virtualKey, unsigned flags);

// The shortcut as the user reads it, modifiers in the hot key control's order: "Ctrl+Shift+F3",
// "Alt+F2"; empty for no key. A key without a name of its own reads as its code, "Key 0xE2".
std::string shortcutName(std::uint16_t shortcut);

} // namespace glimor::app
