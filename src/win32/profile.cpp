#include "win32/profile.h"

#include <windows.h>

namespace glimor::win32 {

namespace {
// A default that no stored value can have (control characters are not kept in INI text),
// so an absent key can be told from an empty value.
constexpr const char* absent = "\x01\x02";
} // namespace

std::optional<std::string> Win32Profile::read(const std::string& section, const std::string& key) {
  char buffer[2048];
  DWORD n =
      ::GetPrivateProfileStringA(section.c_str(), key.c_str(), absent, buffer, sizeof buffer, path_.c_str());
  std::string value(buffer, n);
  if (value == absent) return std::nullopt;
  return value;
}

bool Win32Profile::write(const std::string& section, const std::string& key, const std::string& value) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) != 0;
}

} // namespace glimor::win32
