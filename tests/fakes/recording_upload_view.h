#pragma once
#include "net/upload_view.h"

#include <string>
#include <vector>

namespace glimor::fakes {

// Records every effect of an upload on the window, in order, as short texts ("status Upload
// complete.", "link abc", "copy", "balloon ...", ...). `throwOn` makes the named effect fail once.
class RecordingUploadView : public net::UploadView {
public:
  explicit RecordingUploadView(std::string path) : path(std::move(path)) {}

  std::string filePath() override { return path; }
  void setStatus(std::string_view text) override { note("status " + std::string(text)); }
  void showBusy() override { note("busy"); }
  void showPostError(std::string_view message, net::PostFailure failure) override {
    postFailures.push_back(failure);
    note("box " + std::string(message));
  }
  void setResponseLines(const std::vector<std::string>& lines) override { responseLines = lines; }
  void setLink(std::string_view text) override {
    link = text;
    note("link " + link);
  }
  bool copyLink() override {
    note("copy " + link);
    return copies;
  }
  void rememberUpload(const net::UploadRecord& upload) override {
    note("remember " + upload.link + " " + upload.deletionUrl + " " + upload.fileType + " " +
         std::to_string(upload.size) + (upload.deletionByGet ? " by GET" : ""));
  }
  void startFloodLock() override { note("flood lock"); }
  void endBusy() override { note("idle"); }
  void announce(bool failed, std::string_view text) override {
    note((failed ? "error balloon " : "balloon ") + std::string(text));
  }

  std::string path;
  std::string link;
  std::vector<std::string> responseLines;
  std::vector<std::string> effects;
  std::vector<net::PostFailure> postFailures; // the kind of each message box
  bool copies = true;                         // the clipboard takes the link
  std::string throwOn;

private:
  void note(std::string effect) {
    bool fail = !throwOn.empty() && effect.starts_with(throwOn);
    effects.push_back(std::move(effect));
    if (fail) {
      throwOn.clear();
      throw std::runtime_error("window gone");
    }
  }
};

} // namespace glimor::fakes
