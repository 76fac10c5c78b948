#pragma once
#include "platform/shell.h"

namespace glimor::win32 {

class Win32Shell final : public platform::Shell {
public:
  bool windowExists(const std::string& title) override;
  bool copyFile(const std::string& from, const std::string& to) override;
  bool moveFileReplacing(const std::string& from, const std::string& to) override;
  void execute(const std::string& path, const std::string& parameters) override;
  void sleep(unsigned ms) override;
};

} // namespace glimor::win32
