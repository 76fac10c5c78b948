#pragma once
#include "platform/error.h"

#include <string>

namespace glimor::server {

// Why a store could not do what it was asked, in words a client may be told
// (what()); the request handlers give it its status (507 or 503), the commands
// print it. `detail()` is what the log needs besides.
class StoreError : public Error {
public:
  enum class Kind { diskFull, busy, unavailable };

  StoreError(Kind kind, const std::string& reason, std::string detail = {})
      : Error(reason), kind_(kind), detail_(std::move(detail)) {}
  Kind kind() const { return kind_; }
  const std::string& detail() const { return detail_; }

private:
  Kind kind_;
  std::string detail_;
};

// The disk is full: nothing of the write is kept.
inline StoreError diskFull() {
  return StoreError(StoreError::Kind::diskFull,
                    "Insufficient Storage: the service's disk is full, nothing was stored");
}

// A lock another process holds (a long transaction, a backup) was not free in time.
inline StoreError storeBusy(std::string detail = {}) {
  return StoreError(StoreError::Kind::busy, "Database busy, try again later", std::move(detail));
}

} // namespace glimor::server
