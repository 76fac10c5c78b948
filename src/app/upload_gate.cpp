// The gates every upload start passes, a capture's or a retry's, and "Retry upload".
#include "app/main_form.h"

namespace glimor::app {

std::string floodWaitText(int secondsLeft) {
  return "Wait " + std::to_string(secondsLeft) + " s: the last upload was moments ago.";
}

bool MainForm::floodLockRefuses() {
  if (!flags_.floodLock) return false;
  setStatus(floodLockStatus);
  // Whole seconds, rounded up: the lock has not ended while any part of a second is left.
  std::uint64_t passed = platform_.timers.nowMs() - floodLockStart_;
  std::uint64_t left = passed < floodLockMs ? floodLockMs - passed : 0;
  int seconds = static_cast<int>((left + 999) / 1000);
  platform_.tray.showBalloon(platform::BalloonIcon::Info, floodWaitText(seconds < 1 ? 1 : seconds));
  return true;
}

bool MainForm::uploadRuns() {
  return platform_.view.status(0) == uploadingStatus || (uploadRunning_ && uploadRunning_());
}

bool MainForm::uploadRunningRefuses() {
  if (!uploadRuns()) return false;
  platform_.tray.showBalloon(platform::BalloonIcon::Info, uploadRunningText);
  return true;
}

bool MainForm::canRetryUpload() {
  const std::string path = platform_.view.uploadFileName();
  return !path.empty() && !uploadRuns() && uploadFileExists_ && uploadFileExists_(path);
}

void MainForm::retryUpload() {
  if (floodLockRefuses() || uploadRunningRefuses()) return;
  if (!canRetryUpload()) {
    setStatus(nothingToRetryText);
    platform_.tray.showBalloon(platform::BalloonIcon::Error, nothingToRetryText);
    return;
  }
  onUploadButton();
}

void MainForm::onTrayRetryUpload() {
  if (shownMenu_.canRetryUpload) retryUpload();
}

} // namespace glimor::app
