#pragma once
#include <windows.h>

namespace glimor::win32 {

// Finds `procedure` in `library`, loading the library first; it stays loaded for the whole run.
// False when either cannot be found.
bool GetDllProc(const char* library, const char* procedure, FARPROC& address);

} // namespace glimor::win32
