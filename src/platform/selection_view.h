#pragma once
#include "screen/picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace glimor::platform {

// The full-screen selection window: it shows the capture picture that the core
// draws on, and the panel of four buttons.
class SelectionView {
public:
  virtual ~SelectionView() = default;
  // Shows the window modally; returns when it has been closed (hidden).
  virtual void showModal() = 0;
  virtual void close() = 0;
  virtual bool visible() const = 0;
  // Draws the picture anew at once.
  virtual void repaint() = 0;
  virtual void setPanelVisible(bool visible) = 0;
  // The panel's top-left corner in picture pixels, and the resolution to draw it at.
  virtual void placePanel(int left, int top, int dpi) = 0;
  virtual void setGlimoButton(const std::string& caption, bool enabled) = 0;
  // Draws these parts of the picture anew at once.
  virtual void repaint(const std::vector<screen::Rect>& parts) = 0;
  // The strip of drawing tools, shown with the panel: its top-left corner and resolution.
  virtual void placeToolStrip(int left, int top, int dpi) = 0;
  virtual void setToolStripVisible(bool visible) = 0;
  // The line of key hints, shown with the panel: its top-left corner and resolution.
  virtual void placeKeyHints(int left, int top, int dpi) = 0;
  virtual void setKeyHints(const std::string& text) = 0;
  // The chosen tool (its index, -1 for none) and the colour (0x00RRGGBB) and size the next mark gets.
  virtual void showTool(int tool, std::uint32_t colour, int size) = 0;
  // The mouse pointer in picture pixels, and a move of it there, which the window then receives
  // as the mouse's own move.
  virtual screen::Point pointer() const = 0;
  virtual void movePointer(screen::Point to) = 0;
  // A menu at the pointer of these items (an empty label: a separator line); the index of the one
  // chosen, or -1 when it was closed without a choice.
  struct MenuItem {
    std::string label;
    bool checked = false;
  };
  virtual int chooseFromMenu(const std::vector<MenuItem>& items) = 0;
  // Handles the pending window messages (used between fade steps).
  virtual void processMessages() = 0;
  virtual void sleep(unsigned ms) = 0;
  // The window the user works in (the foreground window now, usually another program's): the
  // keyboard goes back to it by restoreForeground once the selection has closed.
  virtual void rememberForeground() = 0;
  virtual void restoreForeground() = 0;
  // Returns once what was just taken off the screen (a window of ours, a menu, a tip) is drawn
  // over by what lay beneath it, so that the grab does not freeze it.
  virtual void waitForScreenToSettle() = 0;
};

} // namespace glimor::platform
