#include "app/shortcut.h"

#include <gtest/gtest.h>

namespace glimor::app {
namespace {

TEST(Shortcut, SplitsIntoKeyAndRegistrationModifiers) {
  HotKeyCombination altF2 = registrationFormOf(32881);
  EXPECT_EQ(altF2.key, 0x71u);
  EXPECT_EQ(altF2.modifiers, 1u); // MOD_ALT
  HotKeyCombination all = registrationFormOf(0x2000 | 0x4000 | 0x8000 | 0x41);
  EXPECT_EQ(all.key, 0x41u);
  EXPECT_EQ(all.modifiers, 1u | 2u | 4u);
  HotKeyCombination shift = registrationFormOf(0x2072);
  EXPECT_EQ(shift.modifiers, 4u); // MOD_SHIFT
  EXPECT_EQ(registrationFormOf(0x4000).key, 0u);
}

TEST(Shortcut, ControlFlagsMoveToTheTopBitsAndExtendedFallsOff) {
  EXPECT_EQ(shortcutFromControl(0x71, 4), 32881);      // Alt+F2
  EXPECT_EQ(shortcutFromControl(0x72, 2), 16498);      // Ctrl+F3
  EXPECT_EQ(shortcutFromControl(0x2E, 2 | 8), 0x402E); // Ctrl+Delete (extended)
}

TEST(Shortcut, NamesModifiersInTheControlsOrderAndEveryKind) {
  EXPECT_EQ(shortcutName(32881), "Alt+F2");
  EXPECT_EQ(shortcutName(16498), "Ctrl+F3");
  EXPECT_EQ(shortcutName(0x2000 | 0x4000 | 0x8000 | 'A'), "Ctrl+Shift+Alt+A");
  EXPECT_EQ(shortcutName(0x4000 | 0x2000 | '7'), "Ctrl+Shift+7");
  EXPECT_EQ(shortcutName(0x8000 | 0x87), "Alt+F24");
  EXPECT_EQ(shortcutName(0x4000 | 0x60), "Ctrl+Num 0");
  EXPECT_EQ(shortcutName(0x4000 | 0x2C), "Ctrl+Print Screen");
  EXPECT_EQ(shortcutName(0x4000 | 0xDC), "Ctrl+\\");
  EXPECT_EQ(shortcutName(0x4000 | 0xE2), "Ctrl+Key 0xE2"); // no name of its own
  EXPECT_EQ(shortcutName(0x4000), "");                     // a modifier alone is no shortcut yet
}

} // namespace
} // namespace glimor::app
