#pragma once
#include "refusal.h"

#include <string>

namespace glimor::server {

// The database cannot be reached: the request is answered 503 at once and the
// node goes on, reconnecting for a later request. `detail` is for the log.
class DatabaseUnavailable : public Refusal {
public:
  explicit DatabaseUnavailable(std::string detail, const std::string& reason = "Database Unavailable")
      : Refusal(503, reason), detail_(std::move(detail)) {}
  const std::string& detail() const { return detail_; }

private:
  std::string detail_;
};

} // namespace glimor::server
