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

} // namespace glimor::server
