#pragma once
#include "win32/window.h"

namespace glimor::win32 {

// A plain child window that groups controls (a page, a panel) and passes their
// notifications on to the window that owns the behaviour.
class Container final : public Window {
public:
  HWND create(HWND parent, HWND notify, int x, int y, int w, int h, bool visible, bool sunken = false,
              const char* className = "GlimorContainer");

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND notify_ = nullptr;
};

} // namespace glimor::win32
