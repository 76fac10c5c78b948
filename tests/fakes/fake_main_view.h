#pragma once
#include "platform/main_view.h"

#include <functional>
#include <string>

namespace glimor::fakes {

class FakeMainView final : public platform::MainView {
public:
  bool visible() const override { return shown; }
  void show() override { shown = true; }
  void showInactive() override {
    shown = true;
    ++shownInactive;
  }
  void hide() override { shown = false; }
  void bringToFront() override { ++broughtToFront; }
  void repaintNow() override { ++repaints; }
  void setActivePage(int page) override { activePage = page; }
  void setStatus(int panel, const std::string& text) override { statusText[panel] = text; }
  std::string status(int panel) const override { return statusText[panel]; }
  void setUploadFileName(const std::string& path) override { uploadFile = path; }
  std::string uploadFileName() const override { return uploadFile; }
  void setVersionText(const std::string& text) override { version = text; }
  void setHotKeyName(const std::string& name) override { hotKeyName = name; }
  void setLinkPanelVisible(bool visible) override { linkPanelVisible = visible; }
  void requestClose() override {
    if (onCloseRequest) onCloseRequest();
  }

  bool shown = false;
  int broughtToFront = 0, repaints = 0, activePage = -1, shownInactive = 0;
  std::string statusText[2];
  std::string uploadFile, version, hotKeyName;
  bool linkPanelVisible = true;
  std::function<void()> onCloseRequest;
};

} // namespace glimor::fakes
