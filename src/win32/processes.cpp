#include "win32/processes.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"

#include <windows.h>

namespace glimor::win32 {

bool Win32Processes::start(const std::string& applicationName, const std::string& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring line = widen(commandLine);
  BOOL ok = ::CreateProcessW(widen(applicationName).c_str(), line.data(), nullptr, nullptr, FALSE,
                             NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started);
  if (started.hProcess) ::CloseHandle(started.hProcess);
  if (started.hThread) ::CloseHandle(started.hThread);
  return ok != 0;
}

std::optional<std::string> Win32Processes::classesRootDefault(const std::string& keyPath) {
  HKEY key = nullptr;
  // Read access is all it takes; asking for full access would fail for a user without
  // administrator rights, and "Open Link" would then never find a browser.
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, widen(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::nullopt;
  struct Closer {
    HKEY key;
    ~Closer() { ::RegCloseKey(key); }
  } closer{key};

  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error("Invalid data type for ''");
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (size > 0 && ::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
    return std::string();
  data.resize(size / sizeof(wchar_t));
  if (auto nul = data.find(L'\0'); nul != std::wstring::npos) data.resize(nul);
  return narrow(data);
}

} // namespace glimor::win32
