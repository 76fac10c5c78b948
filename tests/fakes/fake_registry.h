#pragma once
#include "platform/error.h"
#include "platform/registry.h"

#include <map>
#include <set>
#include <string>

namespace glimor::fakes {

// One registry shared by every key object made from it.
class FakeRegistry final : public platform::Registry {
public:
  struct Value {
    std::string data;
    bool text = true;
  };
  std::unique_ptr<platform::RegistryKey> localMachine() override;

  std::map<std::string, std::map<std::string, Value>> keys; // path -> values
  bool denied = false;                                      // keys cannot be opened or created
  bool writeFails = false;                                  // values cannot be set
  int opens = 0;
};

} // namespace glimor::fakes
