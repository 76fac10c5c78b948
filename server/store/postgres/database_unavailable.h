#pragma once
#include "store_error.h"

#include <string>

namespace glimor::server {

// The database cannot be reached: the request is answered 503 at once and the
// node goes on, reconnecting for a later request. `detail` is for the log.
class DatabaseUnavailable : public StoreError {
public:
  explicit DatabaseUnavailable(std::string detail, const std::string& reason = "Database Unavailable")
      : StoreError(Kind::unavailable, reason, std::move(detail)) {}
};

} // namespace glimor::server
