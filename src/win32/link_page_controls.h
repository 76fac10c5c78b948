#pragma once
#include "platform/link_page.h"
#include "win32/busy_indicator.h"

#include <windows.h>

namespace glimor::win32 {

// The links page's controls behind platform::LinkPage: the link field, the help text and the
// busy animation with the upload's Cancel button beside it.
class LinkPageControls final : public platform::LinkPage {
public:
  LinkPageControls(HWND directLink, HWND helpText, BusyIndicator& busy, HWND cancelUpload)
      : directLink_(directLink), helpText_(helpText), busy_(busy), cancelUpload_(cancelUpload) {}

  std::string link() const override;
  void setLink(const std::string& link) override;
  void setBusyAnimation(bool running) override {
    busy_.setRunning(running);
    ::ShowWindow(cancelUpload_, running ? SW_SHOW : SW_HIDE);
  }
  void setHelpTextVisible(bool visible) override { ::ShowWindow(helpText_, visible ? SW_SHOW : SW_HIDE); }

private:
  HWND directLink_, helpText_;
  BusyIndicator& busy_;
  HWND cancelUpload_;
};

} // namespace glimor::win32
