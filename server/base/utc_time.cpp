#include "utc_time.h"

#include <cstdio>
#include <ctime>

namespace glimor::server {

std::string formatUtc(std::int64_t seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::optional<std::int64_t> parseUtc(std::string_view text) {
  std::tm utc{};
  int consumed = 0;
  std::string copy(text);
  if (text.size() == 10) {
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &utc.tm_year, &utc.tm_mon, &utc.tm_mday, &consumed) != 3)
      return std::nullopt;
  } else if (text.size() == 20) {
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) != 6)
      return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (consumed != static_cast<int>(text.size())) return std::nullopt;
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  std::int64_t seconds = timegm(&utc);
  // timegm turns 2026-02-30 into March, and sscanf takes signs and spaces: only
  // a text that comes back unchanged is a real time in this form.
  if (formatUtc(seconds).substr(0, text.size()) != text) return std::nullopt;
  return seconds;
}

} // namespace glimor::server
