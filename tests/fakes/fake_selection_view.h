#pragma once
#include "platform/selection_view.h"

#include <functional>
#include <string>

namespace glimor::fakes {

// showModal runs `user` (the user's actions inside the window) and returns when
// the window has been closed or the actions are over.
class FakeSelectionView final : public platform::SelectionView {
public:
  void showModal() override {
    ++modalShows;
    open = true;
    if (user) user();
    open = false;
  }
  void close() override {
    open = false;
    ++closes;
  }
  bool visible() const override { return open; }
  void repaint() override {
    ++repaints;
    if (onRepaint) onRepaint();
  }
  void repaint(const std::vector<screen::Rect>& parts) override {
    ++repaints;
    repaintedParts.insert(repaintedParts.end(), parts.begin(), parts.end());
    if (onRepaint) onRepaint();
  }
  void setPanelVisible(bool visible) override { panelVisible = visible; }
  void placeToolStrip(int left, int top, int dpi) override {
    stripLeft = left;
    stripTop = top;
    stripDpi = dpi;
  }
  void setToolStripVisible(bool visible) override { stripVisible = visible; }
  void placeKeyHints(int left, int top, int) override {
    hintsLeft = left;
    hintsTop = top;
  }
  void setKeyHints(const std::string& text) override { hints = text; }
  std::string hints;
  void showTool(int tool, std::uint32_t colour, int size) override {
    shownTool = tool;
    shownColour = colour;
    shownSize = size;
  }
  void placePanel(int left, int top, int dpi) override {
    panelLeft = left;
    panelTop = top;
    panelDpi = dpi;
  }
  void setGlimoButton(const std::string& caption, bool enabled) override {
    glimoCaption = caption;
    glimoEnabled = enabled;
  }
  int chooseFromMenu(const std::vector<MenuItem>& items) override {
    menus.push_back(items);
    return menuChoice;
  }
  void processMessages() override {
    if (pendingMessages) pendingMessages();
  }
  void sleep(unsigned ms) override { slept += ms; }
  void rememberForeground() override { events.push_back("remember foreground"); }
  void restoreForeground() override { events.push_back("restore foreground"); }
  void waitForScreenToSettle() override { events.push_back("settle"); }
  screen::Point pointer() const override { return pointerAt; }
  void movePointer(screen::Point to) override { pointerAt = to; }

  bool open = false;
  int modalShows = 0, closes = 0, repaints = 0;
  bool panelVisible = false;
  int panelLeft = 0, panelTop = 0, panelDpi = 0;
  std::string glimoCaption;
  bool glimoEnabled = false;
  unsigned slept = 0;
  screen::Point pointerAt;
  std::vector<screen::Rect> repaintedParts;
  int stripLeft = 0, stripTop = 0, stripDpi = 0;
  bool stripVisible = false;
  int hintsLeft = 0, hintsTop = 0;
  int shownTool = -1, shownSize = 0;
  std::uint32_t shownColour = 0;
  std::vector<std::vector<MenuItem>> menus; // every menu shown
  int menuChoice = -1;
  std::function<void()> user, onRepaint, pendingMessages;
  std::vector<std::string> events; // the foreground and settling calls, in order
};

} // namespace glimor::fakes
