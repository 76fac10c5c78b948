#pragma once
#include <optional>
#include <string>

namespace glimor::platform {

// One INI file, read and written key by key, each write going straight to the file.
class Profile {
public:
  virtual ~Profile() = default;
  virtual const std::string& path() const = 0;
  // The value's text (at most 2047 characters), or nothing when the key is absent.
  virtual std::optional<std::string> read(const std::string& section, const std::string& key) = 0;
  // False when the file could not be written.
  virtual bool write(const std::string& section, const std::string& key, const std::string& value) = 0;
};

} // namespace glimor::platform
