#include "win32/busy_cursor.h"

#include <windows.h>

namespace glimor::win32 {
namespace {
bool applicationBusy = false;
}

void Win32BusyCursor::setBusy(bool busy) {
  applicationBusy = busy;
  ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
}

bool Win32BusyCursor::busy() {
  return applicationBusy;
}

} // namespace glimor::win32
