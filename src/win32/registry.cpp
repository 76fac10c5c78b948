#include "win32/registry.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"

#include <windows.h>

namespace glimor::win32 {
namespace {

class Win32RegistryKey final : public platform::RegistryKey {
public:
  explicit Win32RegistryKey(HKEY root) : root_(root) {}
  ~Win32RegistryKey() override { close(); }

  bool open(const std::string& path) override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(root_, widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition) != ERROR_SUCCESS)
      return false;
    close();
    key_ = key;
    return true;
  }

  bool openToRead(const std::string& path) override {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    close();
    key_ = key;
    return true;
  }

  bool valueExists(const std::string& name) override {
    return key_ &&
           ::RegQueryValueExW(key_, widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }

  std::string readString(const std::string& name) override {
    const std::wstring wideName = widen(name);
    DWORD type = 0, size = 0;
    if (!key_ || ::RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error("Invalid data type for '" + name + "'");
    // One unit more than the data, which need not end in a zero of its own.
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (size > 0 && ::RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
      return "";
    data.resize(size / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return narrow(data);
  }

  void writeString(const std::string& name, const std::string& value) override {
    const std::wstring data = widen(value);
    if (!key_ ||
        ::RegSetValueExW(key_, widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
      throw Error("Failed to set data for '" + name + "'");
  }

  bool deleteValue(const std::string& name) override {
    return key_ && ::RegDeleteValueW(key_, widen(name).c_str()) == ERROR_SUCCESS;
  }

  void close() override {
    if (key_) ::RegCloseKey(key_);
    key_ = nullptr;
  }

private:
  HKEY root_;
  HKEY key_ = nullptr;
};

} // namespace

std::unique_ptr<platform::RegistryKey> Win32Registry::localMachine() {
  return std::make_unique<Win32RegistryKey>(HKEY_LOCAL_MACHINE);
}

std::unique_ptr<platform::RegistryKey> Win32Registry::currentUser() {
  return std::make_unique<Win32RegistryKey>(HKEY_CURRENT_USER);
}

} // namespace glimor::win32
