#include "net/upload_window.h"

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

void UploadWindow::rememberUpload(const UploadRecord& upload) {
  try {
    history_.add(upload);
  } catch (const std::exception&) {
    // The upload stands and its link is on the clipboard; only the history misses it.
  }
}

} // namespace glimor::net
