#pragma once
#include <stdexcept>
#include <string>

namespace glimor::server {

// A request the service turns down. The reason becomes the status line's reason
// phrase, because the program shows the status line to its user as the error.
class Refusal : public std::runtime_error {
public:
  Refusal(int status, const std::string& reason) : std::runtime_error(reason), status_(status) {}
  int status() const { return status_; }

private:
  int status_;
};

// The answer when the disk is full: clear to the user, and nothing is stored.
inline Refusal diskFull() {
  return Refusal(507, "Insufficient Storage: the service's disk is full, nothing was stored");
}

} // namespace glimor::server
