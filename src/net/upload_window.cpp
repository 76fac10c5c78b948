#include "net/upload_window.h"

#include "net/upload.h"

namespace glimor::net {

void UploadWindow::showBusy() {
  hooks_.showLinkPanelSoon(false);
  page_.setBusyAnimation(true);
  page_.setHelpTextVisible(false);
}

void UploadWindow::endBusy() {
  hooks_.showLinkPanelSoon(true);
  page_.setBusyAnimation(false);
}

void UploadWindow::showPostError(std::string_view message, PostFailure failure) {
  std::string advice;
  switch (failure) {
  case PostFailure::TimedOut:
    advice = std::string(timedOutAdvice) + std::string(retryHint);
    break;
  case PostFailure::TokenRefused:
    advice = std::string(tokenAdvice) + std::string(retryHint);
    break;
  case PostFailure::Other:
    advice = std::string(retryHint);
    break;
  }
  messages_.show(std::string(message) + "\n\n" + advice);
}

void UploadWindow::announce(bool failed, std::string_view text) {
  if (!main_.visible())
    tray_.showBalloon(failed ? platform::BalloonIcon::Error : platform::BalloonIcon::Info, std::string(text));
}

void UploadWindow::rememberUpload(const UploadRecord& upload) {
  try {
    history_.add(upload);
  } catch (const std::exception&) {
    // The upload stands and its link is on the clipboard; only the history misses it.
  }
}

} // namespace glimor::net
