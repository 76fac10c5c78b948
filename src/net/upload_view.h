#pragma once
#include "net/upload_record.h"

#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// What a failed POST calls for, so the window can say what to do about it.
enum class PostFailure { TimedOut, TokenRefused, Other };

// The main window as the upload worker reaches it. In the program each call is carried out on
// the user-interface thread and returns when it is done; glimor-cli prints instead.
class UploadView {
public:
  virtual ~UploadView() = default;

  virtual std::string filePath() = 0; // the path of the image to upload, as the window holds it now
  virtual void setStatus(std::string_view text) = 0;
  virtual void showBusy() = 0; // link panel hidden, busy animation running, help text hidden
  // A message box whose first line is `message`; returns once it is closed.
  virtual void showPostError(std::string_view message, PostFailure failure) = 0;
  virtual void setResponseLines(const std::vector<std::string>& lines) = 0;
  virtual void setLink(std::string_view link) = 0;
  // What "Copy to ClipBoard" does: the shown link onto the clipboard; true once it holds it.
  virtual bool copyLink() = 0;
  virtual void rememberUpload(const UploadRecord& upload) = 0; // into the upload history
  virtual void startFloodLock() = 0;                           // the five-second anti-flood lock
  virtual void endBusy() = 0;                                  // link panel back, busy animation stopped
  // The outcome for a user who does not look at the window, which the upload never shows: the
  // link copied, or a failure that no message box told.
  virtual void announce(bool failed, std::string_view text) = 0;
};

} // namespace glimor::net
