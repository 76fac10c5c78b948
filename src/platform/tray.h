#pragma once
#include <string>
#include <vector>

namespace glimor::platform {

// What the tray menu offers of the upload history at the moment it opens.
struct TrayMenu {
  std::vector<std::string> recentLinks; // the "Recent links" submenu, newest first; greyed when empty
  bool canDeleteLast = false;           // "Delete last upload"; greyed when false
};

// The notification-area icon (tip "Glimor!") of the main window and its menu
// "Show", "Hide", "Recent links", "Delete last upload", "-", "Exit".
class Tray {
public:
  virtual ~Tray() = default;
  virtual bool add() = 0;
  virtual void remove() = 0;
  // Opens the menu with its top-left corner at the cursor position.
  virtual void showMenuAtCursor(const TrayMenu& menu) = 0;
};

} // namespace glimor::platform
