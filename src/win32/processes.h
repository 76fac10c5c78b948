#pragma once
#include "platform/processes.h"

namespace glimor::win32 {

class Win32Processes final : public platform::Processes {
public:
  bool start(const std::string& applicationName, const std::string& commandLine) override;
  std::optional<std::string> classesRootDefault(const std::string& keyPath) override;
};

} // namespace glimor::win32
