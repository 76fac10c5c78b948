#pragma once
#include "platform/busy_cursor.h"

namespace glimor::win32 {

class Win32BusyCursor final : public platform::BusyCursor {
public:
  void setBusy(bool busy) override;
  static bool busy();
};

} // namespace glimor::win32
