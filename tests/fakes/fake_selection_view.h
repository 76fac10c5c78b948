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
  void setPanelVisible(bool visible) override { panelVisible = visible; }
  void placePanel(int left, int top, int dpi) override {
    panelLeft = left;
    panelTop = top;
    panelDpi = dpi;
  }
  void setGlimoButton(const std::string& caption, bool enabled) override {
    glimoCaption = caption;
    glimoEnabled = enabled;
  }
  void processMessages() override {
    if (pendingMessages) pendingMessages();
  }
  void sleep(unsigned ms) override { slept += ms; }

  bool open = false;
  int modalShows = 0, closes = 0, repaints = 0;
  bool panelVisible = false;
  int panelLeft = 0, panelTop = 0, panelDpi = 0;
  std::string glimoCaption;
  bool glimoEnabled = false;
  unsigned slept = 0;
  std::function<void()> user, onRepaint, pendingMessages;
};

} // namespace glimor::fakes
