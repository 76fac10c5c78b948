// The notification-area icon's clicks and menu.
#include "app/main_form.h"

namespace glimor::app {

namespace {
constexpr unsigned leftButtonDown = 0x0201;
constexpr unsigned rightButtonUp = 0x0205;
} // namespace

void MainForm::onTrayNotify(unsigned mouseMessage) {
  auto& view = platform_.view;
  if (mouseMessage == leftButtonDown) {
    if (view.visible())
      view.hide();
    else
      view.show();
    if (view.visible()) view.bringToFront();
  } else if (mouseMessage == rightButtonUp) {
    shownMenu_ = trayHistory_.menu ? trayHistory_.menu() : platform::TrayMenu{};
    shownMenu_.canCancelUpload = cancelUpload_ && uploadRunning_ && uploadRunning_();
    shownMenu_.canRetryUpload = !shownMenu_.canCancelUpload && canRetryUpload();
    shownMenu_.recording = recorder_ && recorder_->recording();
    platform_.tray.showMenuAtCursor(shownMenu_);
  }
}

void MainForm::onTrayShow() {
  platform_.view.show();
  platform_.view.bringToFront();
}

void MainForm::onTrayHide() {
  platform_.view.hide();
}

void MainForm::onTrayExit() {
  flags_.quitRequested = true;
  platform_.view.requestClose();
}

void MainForm::onTrayRecentLink(std::size_t index) {
  if (index < shownMenu_.recentLinks.size() && trayHistory_.copyLink)
    trayHistory_.copyLink(shownMenu_.recentLinks[index].link);
}

void MainForm::onTrayDeleteLast() {
  if (shownMenu_.canDeleteLast && trayHistory_.deleteLast) trayHistory_.deleteLast();
}

void MainForm::onTrayCancelUpload() {
  if (shownMenu_.canCancelUpload) cancelUpload();
}

void MainForm::cancelUpload() {
  if (cancelUpload_ && uploadRunning_ && uploadRunning_()) cancelUpload_();
}

} // namespace glimor::app
