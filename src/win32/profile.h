#pragma once
#include "platform/profile.h"

namespace glimor::win32 {

// An INI file in UTF-8, read and changed as the profile functions would (platform/ini_text.h),
// each change written in one step.
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
