#pragma once
#include "win32/window.h"

namespace glimor::win32 {

// The hidden top-level window that carries the application title "Glimor!": the
// window that a second start finds, and the owner of the main window.
class ApplicationWindow final : public Window {
public:
  void createWindow();
};

} // namespace glimor::win32
