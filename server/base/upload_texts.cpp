#include "upload_texts.h"

#include "utc_time.h"

#include <cstdio>

namespace glimor::server {

std::string sizeText(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024);
  else
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
  return text;
}

std::string dateText(std::int64_t seconds) {
  std::string utc = formatUtc(seconds);
  return utc.substr(0, 10) + " " + utc.substr(11, 5) + " UTC";
}

std::string durationText(std::uint64_t ms) {
  const std::uint64_t seconds = (ms + 500) / 1000;
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", (unsigned long long)(seconds / 3600),
                  (unsigned long long)(seconds / 60 % 60), (unsigned long long)(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%llu:%02llu", (unsigned long long)(seconds / 60),
                  (unsigned long long)(seconds % 60));
  return text;
}

} // namespace glimor::server
