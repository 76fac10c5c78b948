#include "net/uploader.h"

#include "net/upload.h"

namespace glimor::net {

std::string SynchronizedUploadView::filePath() {
  return filePath_;
}

void SynchronizedUploadView::setStatus(std::string_view text) {
  ui_.post([this, text = std::string(text)] { target_.setStatus(text); });
}

void SynchronizedUploadView::showBusy() {
  ui_.post([this] { target_.showBusy(); });
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
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool Uploader::start() {
  if (running_) return false;
  if (!worker_.joinable()) startWorker(); // throws when none can start
  view_.readFilePath();
  running_ = true;
  clients_.resetUploadCancel();
  {
    std::lock_guard lock(mutex_);
    // The worker's own copy: a setting changed meanwhile counts from the next upload.
    next_ = clients_.settings();
  }
  changed_.notify_all();
  return true;
}

void Uploader::startWorker() {
  worker_ = std::thread([this] { serve(); });
}

void Uploader::prepare() {
  // Without a worker, start() makes one and the upload connects itself.
  if (running_ || !worker_.joinable()) return;
  ServiceSettings settings = clients_.settings();
  if (!settings.uploaderFile.empty()) return;
  clients_.resetUploadCancel(); // a cancel of the last upload does not hold this one back
  {
    std::lock_guard lock(mutex_);
    ahead_ = std::move(settings);
  }
  changed_.notify_all();
}

void Uploader::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return ending_ || next_ || ahead_; });
    if (ending_) return;
    // An upload already asked for opens its own connection.
    const bool upload = next_.has_value();
    const ServiceSettings settings = std::move(upload ? *next_ : *ahead_);
    next_.reset();
    ahead_.reset();
    lock.unlock();
    if (upload)
      runUpload(settings);
    else
      openAhead(settings);
    lock.lock();
  }
}

void Uploader::openAhead(const ServiceSettings& settings) {
  try {
    clients_.upload(settings).openAhead(settings.endpoints().uploadUrl());
  } catch (const std::exception&) {
    // A token that cannot be sent: the upload says so.
  }
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
