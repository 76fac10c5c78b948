#include "app/shortcut.h"

#include <cstdio>

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

namespace {

// Names of the virtual keys that are not a letter, a digit or a function key (US keyboard for the
// punctuation keys, whose symbols vary with the layout).
struct KeyName {
  unsigned key;
  const char* name;
};
constexpr KeyName namedKeys[] = {
    {0x08, "Backspace"},   {0x09, "Tab"},    {0x0D, "Enter"}, {0x13, "Pause"},
    {0x14, "Caps Lock"},   {0x1B, "Esc"},    {0x20, "Space"}, {0x21, "Page Up"},
    {0x22, "Page Down"},   {0x23, "End"},    {0x24, "Home"},  {0x25, "Left"},
    {0x26, "Up"},          {0x27, "Right"},  {0x28, "Down"},  {0x2C, "Print Screen"},
    {0x2D, "Insert"},      {0x2E, "Delete"}, {0x6A, "Num *"}, {0x6B, "Num +"},
    {0x6D, "Num -"},       {0x6E, "Num ."},  {0x6F, "Num /"}, {0x90, "Num Lock"},
    {0x91, "Scroll Lock"}, {0xBA, ";"},      {0xBB, "="},     {0xBC, ","},
    {0xBD, "-"},           {0xBE, "."},      {0xBF, "/"},     {0xC0, "`"},
    {0xDB, "["},           {0xDC, "\\"},     {0xDD, "]"},     {0xDE, "'"},
};

const char* namedKey(unsigned key) {
  for (const KeyName& named : namedKeys)
    if (named.key == key) return named.name;
  return nullptr;
}

std::string keyName(unsigned key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (const char* name = namedKey(key)) return name;
  char text[16];
  if (key >= 0x60 && key <= 0x69)
    std::snprintf(text, sizeof text, "Num %u", key - 0x60);
  else if (key >= 0x70 && key <= 0x87)
    std::snprintf(text, sizeof text, "F%u", key - 0x70 + 1);
  else
    std::snprintf(text, sizeof text, "Key 0x%02X", key);
  return text;
}

} // namespace

std::string shortcutName(std::uint16_t shortcut) {
  unsigned key = shortcut & 0xFFu;
  if (key == 0) return "";
  std::string name;
  if (shortcut & 0x4000u) name += "Ctrl+";
  if (shortcut & 0x2000u) name += "Shift+";
  if (shortcut & 0x8000u) name += "Alt+";
  return name + keyName(key);
}

} // namespace glimor::app
