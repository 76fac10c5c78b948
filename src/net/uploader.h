#pragma once
#include "net/service_clients.h"
#include "net/upload_view.h"
#include "platform/files.h"
#include "platform/ui_thread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace glimor::net {

// The upload's view as the worker thread sees it: every call is carried out by `target` on the
// user-interface thread. The worker waits for each, but for the status and the busy display,
// which it leaves to that thread: at the confirm that thread is still closing the selection
// window, and the upload need not wait for it. The file's path is read as the upload starts.
class SynchronizedUploadView final : public UploadView {
public:
  SynchronizedUploadView(UploadView& target, platform::UiThread& ui) : target_(target), ui_(ui) {}
  // Called on the user-interface thread before the worker starts.
  void readFilePath() { filePath_ = target_.filePath(); }

  std::string filePath() override;
  void setStatus(std::string_view text) override;
  void showBusy() override;
  void showPostError(std::string_view message, PostFailure failure) override;
  void setResponseLines(const std::vector<std::string>& lines) override;
  void setLink(std::string_view link) override;
  bool copyLink() override;
  void rememberUpload(const UploadRecord& upload) override;
  void startFloodLock() override;
  void endBusy() override;
  void announce(bool failed, std::string_view text) override;

private:
  UploadView& target_;
  platform::UiThread& ui_;
  std::string filePath_;
};

// Uploader: runs one upload at a time on a thread of its own, kept for its whole life (under Wine
// on a busy computer a new thread takes milliseconds to start), under the service settings read
// when the upload starts. Whether one runs is its own flag, not the status text, which the
// feedback form may have replaced meanwhile.
class Uploader {
public:
  Uploader(UploadView& window, platform::UiThread& ui, ServiceClients& clients, platform::Files& files)
      : view_(window, ui), clients_(clients), files_(files) {
    try {
      startWorker();
    } catch (const std::system_error&) {
      // The first upload tries again.
    }
  }
  // Calls off a running upload and waits for it; its remaining effects on the window are then
  // refused, so the user-interface thread must not be needed for it to end.
  ~Uploader();

  // Starts an upload of the file the window names; false, and nothing started, while one runs.
  // Called on the user-interface thread, which reads the settings.
  bool start();
  // Opens the connection of the upload that start() is about to ask for, on the worker, while the
  // caller still makes the file. Nothing happens while an upload runs or for an uploader file.
  // Called on the user-interface thread, which reads the settings.
  void prepare();
  // Calls off the running upload's exchange; it ends within a fraction of a second with
  // "Upload cancelled.", link and clipboard as they were. Nothing happens when none runs.
  void cancel();
  bool running() const { return running_; }

private:
  void runUpload(const ServiceSettings& settings);
  void openAhead(const ServiceSettings& settings);
  void serve();
  void startWorker();

  SynchronizedUploadView view_;
  ServiceClients& clients_;
  platform::Files& files_;
  std::atomic<bool> running_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<ServiceSettings> next_;  // the upload the worker is to run
  std::optional<ServiceSettings> ahead_; // the connection it is to open before that
  bool ending_ = false;
  std::thread worker_;
};

} // namespace glimor::net
