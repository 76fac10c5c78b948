#include "win32/processes.h"

#include "platform/error.h"

#include <windows.h>

#include <vector>

namespace glimor::win32 {

bool Win32Processes::start(const std::string& applicationName, const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  BOOL ok = ::CreateProcessA(applicationName.c_str(), line.data(), nullptr, nullptr, FALSE,
                             NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started);
  if (started.hProcess) ::CloseHandle(started.hProcess);
  if (started.hThread) ::CloseHandle(started.hThread);
  return ok != 0;
}

std::optional<std::string> Win32Processes::classesRootDefault(const std::string& keyPath) {
  HKEY key = nullptr;
  // Read access is all it takes; asking for full access would fail for a user without
  // administrator rights, and "Open Link" would then never find a browser.
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::nullopt;
  struct Closer {
    HKEY key;
    ~Closer() { ::RegCloseKey(key); }
  } closer{key};

  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error("Invalid data type for ''");
  std::string data(size, '\0');
  if (size > 0 && ::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
    return std::string();
  data.resize(size);
  if (auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
  return data;
}

} // namespace glimor::win32
