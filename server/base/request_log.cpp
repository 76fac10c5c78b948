#include "request_log.h"
#include "links.h"

#include "utc_time.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace glimor::server {
namespace {

std::mutex logMutex;

std::string timeStamp(std::chrono::system_clock::time_point now) {
  return formatUtc(std::chrono::system_clock::to_time_t(now));
}

constexpr std::size_t maxLength = 300;

// Request targets come from clients: control bytes and quotes are escaped, so
// one request cannot forge log lines.
std::string escaped(std::string_view text) {
  std::string result;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      result += escape;
    } else {
      result += static_cast<char>(c);
    }
  }
  return result;
}

// Escaped, and bounded in length, so that one request cannot flood the log.
std::string printable(std::string_view text) {
  return escaped(text.substr(0, maxLength)) + (text.size() > maxLength ? "..." : "");
}

// The path as a router that decoded it would read it: %XX decoded and runs of
// slashes taken as one.
std::string decodedPath(std::string_view path) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (c == '%' && i + 2 < path.size() && hex(path[i + 1]) >= 0 && hex(path[i + 2]) >= 0) {
      c = static_cast<char>(hex(path[i + 1]) * 16 + hex(path[i + 2]));
      i += 2;
    }
    if (c == '/' && decoded.ends_with('/')) continue;
    decoded += c;
  }
  return decoded;
}

// A query with the value of every `token=` field left out.
std::string withoutTokens(std::string_view query) {
  std::string shown;
  while (true) {
    std::size_t amp = query.find('&');
    std::string_view field = query.substr(0, amp);
    std::string_view name = field.substr(0, field.find('='));
    bool token = name.size() == 5 && name.size() < field.size();
    for (std::size_t i = 0; token && i < 5; ++i) token = (name[i] | 0x20) == "token"[i];
    shown += token ? escaped(name) + "=\u2026" : escaped(field);
    if (amp == std::string_view::npos) return shown;
    shown += '&';
    query.remove_prefix(amp + 1);
  }
}

constexpr std::string_view idCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Secrets never reach the log: a deletion link's, in whatever form its path
// takes (/d/ID/SECRET, //d/ID/SECRET, /d/ID%2FSECRET), is written /d/ID/…
// without what follows the id, and a query's token=… loses its value. What the service
// adds after a space (e.g. " (answer cut short)") is kept.
std::string shownTarget(std::string_view target) {
  std::size_t space = target.find(' ');
  std::string after = space == std::string_view::npos ? "" : printable(target.substr(space));
  target = target.substr(0, space);
  std::string cut = target.size() > maxLength ? "..." : "";
  target = target.substr(0, maxLength);
  std::size_t mark = target.find('?');
  std::string decoded = decodedPath(target.substr(0, mark));
  if (std::size_t d = decoded.find(links::deletionPrefix); d != std::string::npos) {
    // Whatever follows the id's own characters may be the secret, however encoded.
    std::size_t idEnd = decoded.find_first_not_of(idCharacters, d + links::deletionPrefix.size());
    if (idEnd != std::string::npos || mark != std::string_view::npos)
      return escaped(std::string_view(decoded).substr(0, std::min(idEnd, decoded.size()))) + "/\u2026" +
             after;
  }
  std::string shown = escaped(target.substr(0, mark));
  if (mark != std::string_view::npos) shown += "?" + withoutTokens(target.substr(mark + 1));
  return shown + cut + after;
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
