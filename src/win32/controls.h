#pragma once
#include <windows.h>

#include <string>

namespace glimor::win32 {

// What it takes to create one child control, given by name (`{.className = "BUTTON", .id = ...}`);
// the defaults suit a plain visible static text.
struct ControlArgs {
  const char* className = "STATIC";
  std::string text = {};
  int x = 0, y = 0, width = 0, height = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  bool visible = true;
  HFONT font = nullptr;
};

HWND createControl(HWND parent, const ControlArgs& args);

// Width of a text in the control's font, for controls that size themselves to their caption.
int textWidth(HWND window, HFONT font, const std::string& text);

// A window's or control's text, and setting it (UTF-8 both ways).
std::string windowText(HWND window);
void setWindowText(HWND window, const std::string& text);

// A font of `points` at the designed 96 dpi (DpiLayout scales it with the window).
HFONT createFont(const char* face, int points, bool bold = false);

} // namespace glimor::win32
