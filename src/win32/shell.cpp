#include "win32/shell.h"

#include "os/win32/wide_text.h"

#include <windows.h>

#include <shellapi.h>

namespace glimor::win32 {

bool Win32Shell::windowExists(const std::string& title) {
  return ::FindWindowW(nullptr, widen(title).c_str()) != nullptr;
}

bool Win32Shell::copyFile(const std::string& from, const std::string& to) {
  return ::CopyFileW(widen(from).c_str(), widen(to).c_str(), FALSE) != 0;
}

bool Win32Shell::moveFileReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Win32Shell::execute(const std::string& path, const std::string& parameters) {
  ::ShellExecuteW(nullptr, L"open", widen(path).c_str(), widen(parameters).c_str(), nullptr, SW_SHOWNORMAL);
}

void Win32Shell::sleep(unsigned ms) {
  ::Sleep(ms);
}

} // namespace glimor::win32
