#pragma once
#include "net/upload_record.h"

#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// The main window as the upload worker reaches it. In the program each call is carried out on
// the user-interface thread and returns when it is done; glimor-cli prints instead.
class UploadView {
public:
  virtual ~UploadView() = default;

  virtual std::string filePath() = 0; // the path of the image to upload, as the window holds it now
  virtual void setStatus(std::string_view text) = 0;
  virtual void showBusy() = 0; // link panel hidden, busy animation running, help text hidden
  virtual void showPostError(std::string_view message) = 0; // a message box; returns once it is closed
  virtual void setResponseLines(const std::vector<std::string>& lines) = 0;
  virtual void setLink(std::string_view link) = 0;
  virtual void copyLink() = 0; // what "Copy to ClipBoard" does: the shown link onto the clipboard
  virtual void rememberUpload(const UploadRecord& upload) = 0; // into the upload history
  virtual void bringToFront() = 0;
  virtual void startFloodLock() = 0; // the five-second anti-flood lock
  virtual void showMainWindow() = 0;
  virtual void endBusy() = 0; // link panel back, busy animation stopped
};

} // namespace glimor::net
