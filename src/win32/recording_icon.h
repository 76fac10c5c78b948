#pragma once
#include <windows.h>

namespace glimor::win32 {

// The notification area's icon while a recording runs: a red dot.
HICON makeRecordingIcon();

} // namespace glimor::win32
