#include "win32/clock.h"

#include <windows.h>

namespace glimor::win32 {
namespace {
char localeSeparator(LCTYPE type, char fallback) {
  char text[8] = {};
  return ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text) > 1 ? text[0] : fallback;
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
