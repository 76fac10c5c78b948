#pragma once
#include "platform/error.h"
#include "platform/registry.h"

#include <map>
#include <set>
#include <string>

namespace glimor::fakes {

// Two hives, each shared by every key object made from it.
class FakeRegistry final : public platform::Registry {
public:
  struct Value {
    std::string data;
    bool text = true;
  };
  struct Hive {
    std::map<std::string, std::map<std::string, Value>> keys; // path -> values
    bool denied = false;                                      // keys cannot be opened or created
    bool readOnly = false;   // keys can be opened to read only (a standard user's view of the machine)
    bool writeFails = false; // values cannot be set
  };
  std::unique_ptr<platform::RegistryKey> localMachine() override;
  std::unique_ptr<platform::RegistryKey> currentUser() override;

  Hive machine, user;
  int opens = 0;
};

} // namespace glimor::fakes
