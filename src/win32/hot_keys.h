#pragma once
#include "platform/hot_keys.h"

#include <windows.h>

namespace glimor::win32 {

class Win32HotKeys final : public platform::HotKeys {
public:
  void setWindow(HWND window) { window_ = window; }
  std::uint16_t addAtom(const std::string& name) override { return ::GlobalAddAtomA(name.c_str()); }
  void deleteAtom(std::uint16_t atom) override { ::GlobalDeleteAtom(atom); }
  bool registerKey(std::uint16_t id, unsigned modifiers, unsigned key) override {
    return ::RegisterHotKey(window_, id, modifiers, key) != 0;
  }
  void unregisterKey(std::uint16_t id) override { ::UnregisterHotKey(window_, id); }

private:
  HWND window_ = nullptr;
};

} // namespace glimor::win32
