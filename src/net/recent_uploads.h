#pragma once
#include "net/link_actions.h"
#include "net/service_clients.h"
#include "net/upload_history.h"
#include "net/upload_time_text.h"
#include "platform/clipboard.h"
#include "platform/link_page.h"
#include "platform/messages.h"
#include "platform/tray.h"
#include "platform/ui_thread.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace glimor::net {

inline constexpr std::size_t recentLinksShown = 10;
inline constexpr std::string_view deleteLastQuestion = "Delete the last uploaded image from the service?";
inline constexpr std::string_view statusDeleting = "Deleting the last upload...";

// The question before a deletion: which upload goes, and when it was made, in local time.
std::string deleteQuestion(const UploadRecord& upload, const ToLocalTime& toLocal);

// The caption of a recent link in the tray menu: the link without its scheme, its middle left out
// beyond 40 characters, then a tab and the upload's short local time (none for an unreadable time).
std::string recentLinkLabel(const UploadRecord& upload, const platform::LocalTime& today,
                            const ToLocalTime& toLocal);

struct RecentUploadsPlatform {
  platform::Clipboard& clipboard;
  platform::Messages& messages;
  platform::UiThread& ui;
  platform::Tray& tray;         // the outcome's balloon: the menu's user may not see the window
  platform::LinkPage& linkPage; // a deleted upload's link leaves "Direct Link"
  std::function<void(const std::string&)> setStatus; // status panel 0
  ToLocalTime toLocal = platform::toLocalTime;
  std::function<std::chrono::system_clock::time_point()> now = [] {
    return std::chrono::system_clock::now();
  };
};

// The tray menu's "Recent links" and "Delete last upload", from the upload history. Called on the
// user-interface thread; the deletion's exchange runs on a thread of its own, as the feedback's
// does, and its outcome is carried out on the user-interface thread.
class RecentUploads {
public:
  RecentUploads(UploadHistory& history, RecentUploadsPlatform platform, ServiceClients& clients,
                std::string caption)
      : history_(history), platform_(std::move(platform)), clients_(clients), caption_(std::move(caption)) {}
  // Waits for a running deletion; its outcome is then refused by the closed UI thread.
  ~RecentUploads();

  std::vector<platform::RecentLink> recentLinks(); // newest first, at most recentLinksShown
  // The newest upload has a deletion link, and no deletion is under way.
  bool canDeleteLast();
  // As "Copy to ClipBoard" does: onto the clipboard, read back, tried again while another holds it;
  // a balloon tells how it went.
  void copyLink(const std::string& link);
  // Asks first, naming the upload, with No preselected; on Yes posts to the newest upload's
  // deletion link. Once deleted, it leaves the history, the link field and the clipboard (only if
  // the clipboard holds exactly its link); the outcome goes to the status bar and a balloon.
  void deleteLast();
  bool deleting() const { return deleting_; }

private:
  void send(UploadRecord upload, const ServiceSettings& settings); // on the exchange's thread
  void forget(const UploadRecord& upload);
  void tell(platform::BalloonIcon icon, const std::string& text);

  UploadHistory& history_;
  RecentUploadsPlatform platform_;
  ServiceClients& clients_;
  std::string caption_;
  std::atomic<bool> deleting_{false};
  std::thread exchange_;
};

} // namespace glimor::net
