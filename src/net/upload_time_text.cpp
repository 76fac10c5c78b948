#include "net/upload_time_text.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace glimor::net {
namespace {

std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  const char* end = text.data() + at + count;
  auto [stop, error] = std::from_chars(text.data() + at, end, value);
  if (error != std::errc() || stop != end || text[at] == '-' || text[at] == '+') return std::nullopt;
  return value;
}

std::optional<std::chrono::system_clock::time_point> parseUtc(std::string_view text) {
  using namespace std::chrono;
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z')
    return std::nullopt;
  auto y = digitsAt(text, 0, 4), mo = digitsAt(text, 5, 2), d = digitsAt(text, 8, 2);
  auto h = digitsAt(text, 11, 2), mi = digitsAt(text, 14, 2), s = digitsAt(text, 17, 2);
  if (!y || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
  const year_month_day date{year(*y), month(static_cast<unsigned>(*mo)), day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  return sys_days(date) + hours(*h) + minutes(*mi) + seconds(*s);
}

const char* monthName(int month) {
  static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return month >= 1 && month <= 12 ? names[month - 1] : "?";
}

} // namespace

std::string localUploadTime(std::string_view utc, const ToLocalTime& toLocal) {
  std::optional<std::chrono::system_clock::time_point> when = parseUtc(utc);
  if (!when) return std::string(utc);
  const platform::LocalTime local = toLocal(*when);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.year, local.month, local.day, local.hour,
                local.minute);
  return text;
}

std::string shortLocalUploadTime(std::string_view utc, const platform::LocalTime& today,
                                 const ToLocalTime& toLocal) {
  std::optional<std::chrono::system_clock::time_point> when = parseUtc(utc);
  if (!when) return "";
  const platform::LocalTime local = toLocal(*when);
  char text[48];
  if (local.year == today.year && local.month == today.month && local.day == today.day)
    std::snprintf(text, sizeof text, "%02d:%02d", local.hour, local.minute);
  else if (local.year == today.year)
    std::snprintf(text, sizeof text, "%d %s %02d:%02d", local.day, monthName(local.month), local.hour,
                  local.minute);
  else
    std::snprintf(text, sizeof text, "%d %s %d %02d:%02d", local.day, monthName(local.month), local.year,
                  local.hour, local.minute);
  return text;
}

} // namespace glimor::net
