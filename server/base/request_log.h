#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace glimor::server {

// One line per request on stderr: time (UTC), client, method and target,
// status, body bytes sent, and the time taken.
struct RequestLogEntry {
  std::string_view clientAddress;
  std::string_view method;
  std::string_view target;
  int status;
  std::size_t bytesSent;
  std::chrono::steady_clock::duration elapsed;
};

std::string formatLogLine(const RequestLogEntry& entry, std::chrono::system_clock::time_point now);

void logRequest(const RequestLogEntry& entry);

// A free-form line (start, stop, failures), with the same time stamp.
void logMessage(std::string_view message);

} // namespace glimor::server
