#pragma once
#include "os/win32/wide_text.h"
#include "platform/hot_keys.h"
#include "win32/window.h"

#include <windows.h>

namespace glimor::win32 {

class Win32HotKeys final : public platform::HotKeys {
public:
  // The keys' messages go to this window.
  explicit Win32HotKeys(const Window& window) : window_(window) {}
  std::uint16_t addAtom(const std::string& name) override { return ::GlobalAddAtomW(widen(name).c_str()); }
  void deleteAtom(std::uint16_t atom) override { ::GlobalDeleteAtom(atom); }
  bool registerKey(std::uint16_t id, unsigned modifiers, unsigned key) override {
    return ::RegisterHotKey(window_.hwnd(), id, modifiers, key) != 0;
  }
  void unregisterKey(std::uint16_t id) override { ::UnregisterHotKey(window_.hwnd(), id); }

private:
  const Window& window_;
};

} // namespace glimor::win32
