#include "net/uploader.h"

#include "net/upload.h"

namespace glimor::net {

std::string SynchronizedUploadView::filePath() {
  std::string path;
  ui_.synchronize([&] { path = target_.filePath(); });
  return path;
}

void SynchronizedUploadView::setStatus(std::string_view text) {
  ui_.synchronize([&] { target_.setStatus(text); });
}

void SynchronizedUploadView::showBusy() {
  ui_.synchronize([&] { target_.showBusy(); });
}

void SynchronizedUploadView::showPostError(std::string_view message, PostFailure failure) {
  ui_.synchronize([&] { target_.showPostError(message, failure); });
}

void SynchronizedUploadView::setResponseLines(const std::vector<std::string>& lines) {
  ui_.synchronize([&] { target_.setResponseLines(lines); });
}

void SynchronizedUploadView::setLink(std::string_view link) {
  ui_.synchronize([&] { target_.setLink(link); });
}

bool SynchronizedUploadView::copyLink() {
  bool copied = false;
  ui_.synchronize([&] { copied = target_.copyLink(); });
  return copied;
}

void SynchronizedUploadView::rememberUpload(const UploadRecord& upload) {
  ui_.synchronize([&] { target_.rememberUpload(upload); });
}

void SynchronizedUploadView::startFloodLock() {
  ui_.synchronize([&] { target_.startFloodLock(); });
}

void SynchronizedUploadView::announce(bool failed, std::string_view text) {
  ui_.synchronize([&] { target_.announce(failed, text); });
}

void SynchronizedUploadView::endBusy() {
  ui_.synchronize([&] { target_.endBusy(); });
}

Uploader::~Uploader() {
  // Nobody is left to see the outcome: the exchange ends now rather than at its time limit.
  clients_.cancelUpload();
  if (worker_.joinable()) worker_.join();
}

bool Uploader::start() {
  if (running_) return false;
  // The previous worker has finished its last step; only its thread is left to collect.
  if (worker_.joinable()) worker_.join();
  // The worker's own copy: a setting changed meanwhile counts from the next upload.
  ServiceSettings settings = clients_.settings();
  running_ = true;
  clients_.resetUploadCancel();
  worker_ = std::thread([this, settings = std::move(settings)] { runUpload(settings); });
  return true;
}

void Uploader::cancel() {
  if (running_) clients_.cancelUpload();
}

void Uploader::runUpload(const ServiceSettings& settings) {
  try {
    uploadImage(view_, clients_, settings, files_);
  } catch (const std::exception&) {
    // Only a window that is gone fails this way; there is nobody left to tell.
  }
  running_ = false;
}

} // namespace glimor::net
