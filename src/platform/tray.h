#pragma once

namespace glimor::platform {

// The notification-area icon (tip "Glimor!") of the main window and its menu
// "Show", "Hide", "-", "Exit".
class Tray {
public:
  virtual ~Tray() = default;
  virtual bool add() = 0;
  virtual void remove() = 0;
  // Opens the menu with its top-left corner at the cursor position.
  virtual void showMenuAtCursor() = 0;
};

} // namespace glimor::platform
