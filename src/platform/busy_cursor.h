#pragma once

namespace glimor::platform {

// The application-wide mouse cursor: the hourglass while busy, the default otherwise.
class BusyCursor {
public:
  virtual ~BusyCursor() = default;
  virtual void setBusy(bool busy) = 0;
};

} // namespace glimor::platform
