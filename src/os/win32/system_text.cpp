#include "os/win32/system_text.h"
#include "os/win32/wide_text.h"

#include <windows.h>

namespace glimor::win32 {

std::string systemErrorText(unsigned long error) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer ? narrow({buffer, n}) : "System Error.  Code: " + std::to_string(error);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

} // namespace glimor::win32
