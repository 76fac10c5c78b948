#pragma once
#include <string>

namespace glimor::win32 {

// The system's text for a Win32 error code, without the trailing line break
// and full stop, as error messages embed it.
std::string systemErrorText(unsigned long error);

} // namespace glimor::win32
