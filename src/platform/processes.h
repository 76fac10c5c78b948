#pragma once
#include <optional>
#include <string>

namespace glimor::platform {

// Starting programs directly and reading the file associations they are registered under.
class Processes {
public:
  virtual ~Processes() = default;
  // Starts `applicationName` with exactly `commandLine` and does not wait for it; false when it
  // could not be started.
  virtual bool start(const std::string& applicationName, const std::string& commandLine) = 0;
  // The default value of a key under HKEY_CLASSES_ROOT (opened, never created), or nothing when
  // the key cannot be opened. Throws Error("Invalid data type for ''") for a value that is not text.
  virtual std::optional<std::string> classesRootDefault(const std::string& keyPath) = 0;
};

} // namespace glimor::platform
