#pragma once
#include "platform/tray.h"

namespace glimor::fakes {

// The notification area refuses a second add while the icon is present.
class FakeTray final : public platform::Tray {
public:
  bool add() override {
    ++adds;
    if (present) return false;
    present = true;
    return true;
  }
  void remove() override { present = false; }
  void showMenuAtCursor(const platform::TrayMenu& menu) override {
    ++menus;
    lastMenu = menu;
  }

  void showBalloon(platform::BalloonIcon icon, const std::string& text) override {
    balloons.push_back((icon == platform::BalloonIcon::Error ? "error: " : "info: ") + text);
  }

  void setTip(const std::string& text) override { tips.push_back(text); }
  void dismissTip() override { tips.push_back("(dismissed)"); }
  void showRecording(bool on) override { recordingIcon = on; }

  std::vector<std::string> tips; // every tip set, in order
  bool present = false, recordingIcon = false;
  int adds = 0, menus = 0;
  std::vector<std::string> balloons; // "info: " or "error: " and the text
  platform::TrayMenu lastMenu;
};

} // namespace glimor::fakes
