#pragma once
#include <memory>
#include <string>

namespace glimor::platform {

// A registry object rooted at one hive that stays positioned on the last key it
// opened successfully.
class RegistryKey {
public:
  virtual ~RegistryKey() = default;
  // Opens the key (path without a leading backslash) with full access, creating it if missing.
  virtual bool open(const std::string& path) = 0;
  // Opens an existing key for reading only: where the user may not write, they may still look.
  virtual bool openToRead(const std::string& path) = 0;
  virtual bool valueExists(const std::string& name) = 0;
  // Empty when the value is absent or no key is open;
  // throws Error("Invalid data type for '<name>'") for a value that is not text.
  virtual std::string readString(const std::string& name) = 0;
  // REG_SZ with its terminating zero; throws Error("Failed to set data for '<name>'").
  virtual void writeString(const std::string& name, const std::string& value) = 0;
  virtual bool deleteValue(const std::string& name) = 0;
  virtual void close() = 0;
};

class Registry {
public:
  virtual ~Registry() = default;
  virtual std::unique_ptr<RegistryKey> localMachine() = 0; // HKEY_LOCAL_MACHINE
  virtual std::unique_ptr<RegistryKey> currentUser() = 0;  // HKEY_CURRENT_USER
};

} // namespace glimor::platform
