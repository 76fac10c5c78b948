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

} // namespace glimor::net
