#pragma once
#include "app/main_form.h"
#include "app/program_flags.h"
#include "net/feedback_form.h"
#include "net/link_actions.h"
#include "net/recent_uploads.h"
#include "net/service_clients.h"
#include "net/update_check.h"
#include "net/upload_history.h"
#include "net/upload_target.h"
#include "net/upload_window.h"
#include "net/uploader.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/timer.h"
#include "win32/clipboard.h"
#include "win32/main_window.h"
#include "win32/processes.h"
#include "win32/ui_thread.h"
#include "win32/url_download.h"

#include <string>

namespace glimor::win32 {

struct NetworkPlatform {
  MainWindow& main;
  app::MainForm& form;
  app::ProgramFlags& flags;
  platform::Messages& messages;
  platform::Timers& timers;
  platform::Shell& shell;
  platform::Files& files;
};

// The upload worker, the link buttons, the update check and the feedback form, put together on
// the views and buttons of the main window, which must exist already.
class NetworkFeatures {
public:
  // The [Service] settings are read from the main form's Glimor.ini whenever an exchange begins.
  NetworkFeatures(NetworkPlatform platform, std::string executablePath);
  // The UI thread is closed first, so a worker waiting for the window is let go before it is joined.
  ~NetworkFeatures() { ui_.close(); }

  // An upload, a feedback or a deletion exchange is still under way.
  bool exchangeRunning() const;

private:
  void chooseUploader(MainWindow& main, platform::Messages& messages);

  std::string executablePath_;
  net::ServiceClients clients_;
  net::UploadTarget uploadTarget_;
  Win32UiThread ui_;
  Win32Clipboard clipboard_;
  Win32Processes processes_;
  Win32UrlDownload urlDownload_;
  net::LinkActions links_;
  net::UploadHistory history_;
  net::RecentUploads recentUploads_;
  net::UploadWindow uploadWindow_;
  net::Uploader uploader_;
  net::UpdateCheck update_;
  net::FeedbackForm feedback_;
};

} // namespace glimor::win32
