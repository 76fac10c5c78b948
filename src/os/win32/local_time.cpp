#include "platform/local_time.h"

#include <windows.h>

namespace glimor::platform {

LocalTime toLocalTime(std::chrono::system_clock::time_point when) {
  // FILETIME counts 100 ns steps from 1601-01-01, 11644473600 s before the Unix epoch.
  const auto ticks = std::chrono::duration_cast<std::chrono::duration<long long, std::ratio<1, 10000000>>>(
                         when.time_since_epoch())
                         .count() +
                     11644473600LL * 10000000LL;
  FILETIME utcFile{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{}, local{};
  ::FileTimeToSystemTime(&utcFile, &utc);
  // The rules of the zone in force at that moment, not today's offset.
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

} // namespace glimor::platform
