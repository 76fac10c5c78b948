#pragma once
#include <cstdint>
#include <string>

namespace glimor::platform {

// System-wide hot keys of the main window, identified by a global atom.
class HotKeys {
public:
  virtual ~HotKeys() = default;
  virtual std::uint16_t addAtom(const std::string& name) = 0;
  virtual void deleteAtom(std::uint16_t atom) = 0;
  // modifiers: 1 Alt, 2 Ctrl, 4 Shift (the system's MOD_* values).
  virtual bool registerKey(std::uint16_t id, unsigned modifiers, unsigned key) = 0;
  virtual void unregisterKey(std::uint16_t id) = 0;
};

} // namespace glimor::platform
