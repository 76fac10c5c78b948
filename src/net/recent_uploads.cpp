#include "net/recent_uploads.h"

#include "net/link_actions.h"
#include "net/upload.h"
#include "net/upload_deletion.h"

namespace glimor::net {

RecentUploads::~RecentUploads() {
  if (exchange_.joinable()) exchange_.join();
}

std::vector<std::string> RecentUploads::recentLinks() {
  std::vector<UploadRecord> uploads = history_.uploads();
  std::vector<std::string> links;
  for (auto upload = uploads.rbegin(); upload != uploads.rend() && links.size() < recentLinksShown; ++upload)
    links.push_back(upload->link);
  return links;
}

bool RecentUploads::canDeleteLast() {
  if (deleting_) return false;
  std::vector<UploadRecord> uploads = history_.uploads();
  return !uploads.empty() && !uploads.back().deletionUrl.empty();
}

void RecentUploads::copyLink(const std::string& link) {
  copyTextToClipboard(platform_.clipboard, link);
}

void RecentUploads::deleteLast() {
  if (!canDeleteLast()) return;
  if (!platform_.messages.askYesNo(std::string(deleteLastQuestion), caption_)) return;
  // Read again: an upload may have ended while the question was open.
  std::vector<UploadRecord> uploads = history_.uploads();
  if (uploads.empty() || uploads.back().deletionUrl.empty()) return;
  platform_.setStatus(std::string(statusDeleting));
  if (exchange_.joinable()) exchange_.join(); // the previous deletion has delivered its outcome
  ServiceSettings settings = clients_.settings();
  deleting_ = true;
  exchange_ = std::thread([this, upload = uploads.back(), settings = std::move(settings)]() mutable {
    send(std::move(upload), settings);
  });
}

void RecentUploads::send(UploadRecord upload, const ServiceSettings& settings) {
  Deletion deletion = deleteUpload(clients_.deletion(settings), upload.deletionUrl);
  try {
    platform_.ui.synchronize([&] {
      if (deletion.outcome == Deletion::Outcome::Failed) {
        // One line in the status bar: a socket error's CR LF becomes a space.
        std::string status(postErrorPrefix);
        for (std::size_t at = 0; at < deletion.error.size(); ++at) {
          if (deletion.error.compare(at, 2, "\r\n") == 0) {
            status += ' ';
            ++at;
          } else {
            status += deletion.error[at];
          }
        }
        platform_.setStatus(status);
        return;
      }
      try {
        history_.remove(upload);
      } catch (const std::exception&) {
        // The history keeps the line; deleting it again finds it gone (410) and drops it then.
      }
      platform_.setStatus(std::string(statusImageDeleted));
    });
  } catch (const std::exception&) {
    // The window is gone; nobody is left to tell.
  }
  deleting_ = false;
}

} // namespace glimor::net
