#include "win32/clock.h"

#include <windows.h>

namespace glimor::win32 {
namespace {
// The core writes separators as single ASCII characters; any other falls back.
char localeSeparator(LCTYPE type, char fallback) {
  wchar_t text[8] = {};
  return ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 8) > 1 && text[0] < 0x80
             ? static_cast<char>(text[0])
             : fallback;
}
} // namespace

platform::LocalTime Win32Clock::now() const {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

char Win32Clock::dateSeparator() const {
  return localeSeparator(LOCALE_SDATE, '/');
}
char Win32Clock::timeSeparator() const {
  return localeSeparator(LOCALE_STIME, ':');
}

} // namespace glimor::win32
