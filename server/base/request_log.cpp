#include "request_log.h"

#include "utc_time.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace glimor::server {
namespace {

std::mutex logMutex;

std::string timeStamp(std::chrono::system_clock::time_point now) {
  return formatUtc(std::chrono::system_clock::to_time_t(now));
}

// Request targets come from clients: control bytes and quotes are escaped and
// the length is bounded, so one request cannot forge or flood log lines.
std::string printable(std::string_view text) {
  constexpr std::size_t maxLength = 300;
  std::string result;
  for (unsigned char c : text.substr(0, maxLength)) {
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      result += escaped;
    } else {
      result += static_cast<char>(c);
    }
  }
  if (text.size() > maxLength) result += "...";
  return result;
}

// The secret of a deletion link never reaches the log: /d/ID/SECRET is written
// /d/ID/… (with what the service adds after a space, e.g. " (answer cut short)").
std::string shownTarget(std::string_view target) {
  std::size_t slash = target.starts_with("/d/") ? target.find('/', 3) : std::string_view::npos;
  if (slash == std::string_view::npos) return printable(target);
  std::size_t space = target.find(' ', slash);
  std::string_view after = space == std::string_view::npos ? std::string_view{} : target.substr(space);
  return printable(target.substr(0, slash + 1)) + "\u2026" + printable(after);
}

void writeLine(const std::string& line) {
  std::lock_guard lock(logMutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace

std::string formatLogLine(const RequestLogEntry& entry, std::chrono::system_clock::time_point now) {
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(entry.elapsed).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1fms", static_cast<double>(micros) / 1000.0);
  return timeStamp(now) + " " + printable(entry.clientAddress) + " \"" + printable(entry.method) + " " +
         shownTarget(entry.target) + "\" " + std::to_string(entry.status) + " " +
         std::to_string(entry.bytesSent) + " " + elapsed + "\n";
}

void logRequest(const RequestLogEntry& entry) {
  writeLine(formatLogLine(entry, std::chrono::system_clock::now()));
}

void logMessage(std::string_view message) {
  writeLine(timeStamp(std::chrono::system_clock::now()) + " " + std::string(message) + "\n");
}

} // namespace glimor::server
