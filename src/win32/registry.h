#pragma once
#include "platform/registry.h"

namespace glimor::win32 {

class Win32Registry final : public platform::Registry {
public:
  std::unique_ptr<platform::RegistryKey> localMachine() override;
  std::unique_ptr<platform::RegistryKey> currentUser() override;
};

} // namespace glimor::win32
