#pragma once
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace glimor::server {

// A request the service turns down. The reason becomes the status line's reason
// phrase, because the program shows the status line to its user as the error.
class Refusal : public std::runtime_error {
public:
  using Headers = std::vector<std::pair<std::string, std::string>>;

  Refusal(int status, const std::string& reason, Headers headers = {})
      : std::runtime_error(reason), status_(status), headers_(std::move(headers)) {}
  int status() const { return status_; }
  // Header lines the answer carries besides the reason, e.g. Retry-After.
  const Headers& headers() const { return headers_; }

private:
  int status_;
  Headers headers_;
};

// Images that may be complete but cost more to check than any upload is worth.
inline Refusal tooCostly() {
  return Refusal(415, "Image too costly to decode: more than 2 s of processor time");
}
inline Refusal tooManyScans() {
  return Refusal(415, "JPEG of more than 64 scans: too costly to decode");
}

// The answer when the store holds --max-store bytes already.
inline Refusal storeFull() {
  return Refusal(507, "Insufficient Storage: the service's store is full, nothing was stored");
}

} // namespace glimor::server
