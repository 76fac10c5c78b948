#pragma once
#include "platform/profile.h"

namespace glimor::win32 {

// An INI file through GetPrivateProfileStringA and WritePrivateProfileStringA.
class Win32Profile final : public platform::Profile {
public:
  explicit Win32Profile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const override { return path_; }
  std::optional<std::string> read(const std::string& section, const std::string& key) override;
  bool write(const std::string& section, const std::string& key, const std::string& value) override;

private:
  std::string path_;
};

} // namespace glimor::win32
