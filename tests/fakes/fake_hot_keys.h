#pragma once
#include "platform/hot_keys.h"

#include <map>
#include <utility>

namespace glimor::fakes {

class FakeHotKeys final : public platform::HotKeys {
public:
  std::uint16_t addAtom(const std::string& name) override {
    // Each name its own number, the first one's atomNumber.
    if (!numbers.count(name)) numbers[name] = static_cast<std::uint16_t>(atomNumber + numbers.size());
    ++atomReferences[name];
    return numbers[name];
  }
  void deleteAtom(std::uint16_t atom) override { deletedAtoms.push_back(atom); }
  bool registerKey(std::uint16_t id, unsigned modifiers, unsigned key) override {
    if (registered.count(id)) return false; // the system refuses an id in use
    registered[id] = {modifiers, key};
    return true;
  }
  void unregisterKey(std::uint16_t id) override { registered.erase(id); }

  std::uint16_t atomNumber = 0xC123;
  std::map<std::string, int> atomReferences;
  std::map<std::string, std::uint16_t> numbers;
  std::map<std::uint16_t, std::pair<unsigned, unsigned>> registered; // id -> (modifiers, key)
  std::vector<std::uint16_t> deletedAtoms;
};

} // namespace glimor::fakes
