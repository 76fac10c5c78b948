#include "net/recent_uploads.h"

#include "net/link_actions.h"
#include "net/upload.h"
#include "net/upload_deletion.h"

namespace glimor::net {

namespace {

// One line in the status bar and the balloon: a socket error's CR LF becomes a space.
std::string oneLine(std::string_view text) {
  std::string line;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 2, "\r\n") == 0) {
      line += ' ';
      ++at;
    } else {
      line += text[at];
    }
  }
  return line;
}

// Long links keep their host and their end, which tells one upload from another.
std::string shortLink(std::string_view link) {
  for (std::string_view scheme : {"https://", "http://"})
    if (link.substr(0, scheme.size()) == scheme) {
      link.remove_prefix(scheme.size());
      break;
    }
  constexpr std::size_t longest = 40, head = 20;
  if (link.size() <= longest) return std::string(link);
  return std::string(link.substr(0, head)) + "..." +
         std::string(link.substr(link.size() - (longest - head - 3)));
}

} // namespace

std::string recentLinkLabel(const UploadRecord& upload, const platform::LocalTime& today,
                            const ToLocalTime& toLocal) {
  std::string when = shortLocalUploadTime(upload.time, today, toLocal);
  return shortLink(upload.link) + (when.empty() ? "" : "\t" + when);
}

std::string deleteQuestion(const UploadRecord& upload, const ToLocalTime& toLocal) {
  return std::string(deleteLastQuestion) + "\n\n" + upload.link + "\nUploaded " +
         localUploadTime(upload.time, toLocal);
}

RecentUploads::~RecentUploads() {
  if (exchange_.joinable()) exchange_.join();
}

std::vector<platform::RecentLink> RecentUploads::recentLinks() {
  std::vector<UploadRecord> uploads = history_.uploads();
  const platform::LocalTime today = platform_.toLocal(platform_.now());
  std::vector<platform::RecentLink> links;
  for (auto upload = uploads.rbegin(); upload != uploads.rend() && links.size() < recentLinksShown; ++upload)
    links.push_back({upload->link, recentLinkLabel(*upload, today, platform_.toLocal)});
  return links;
}

bool RecentUploads::canDeleteLast() {
  if (deleting_) return false;
  std::vector<UploadRecord> uploads = history_.uploads();
  return !uploads.empty() && !uploads.back().deletionUrl.empty();
}

void RecentUploads::copyLink(const std::string& link) {
  if (copyTextToClipboard(platform_.clipboard, link))
    tell(platform::BalloonIcon::Info, std::string(linkCopiedText) + link);
  else
    tell(platform::BalloonIcon::Error, std::string(linkNotCopiedText));
}

void RecentUploads::tell(platform::BalloonIcon icon, const std::string& text) {
  platform_.tray.showBalloon(icon, text);
}

void RecentUploads::deleteLast() {
  if (!canDeleteLast()) return;
  const UploadRecord asked = history_.uploads().back();
  if (!platform_.messages.askYesNo(deleteQuestion(asked, platform_.toLocal), caption_,
                                   platform::Messages::Default::No))
    return;
  // Read again: only the upload the question named goes, though another may have ended meanwhile.
  std::vector<UploadRecord> uploads = history_.uploads();
  if (uploads.empty() || uploads.back() != asked) return;
  platform_.setStatus(std::string(statusDeleting));
  if (exchange_.joinable()) exchange_.join(); // the previous deletion has delivered its outcome
  ServiceSettings settings = clients_.settings();
  deleting_ = true;
  exchange_ = std::thread([this, upload = uploads.back(), settings = std::move(settings)]() mutable {
    send(std::move(upload), settings);
  });
}

void RecentUploads::send(UploadRecord upload, const ServiceSettings& settings) {
  Deletion deletion = deleteUpload(clients_.deletion(settings), upload.deletionUrl, upload.deletionByGet);
  try {
    platform_.ui.synchronize([&] {
      if (deletion.outcome == Deletion::Outcome::Failed) {
        const std::string status = std::string(postErrorPrefix) + oneLine(deletion.error);
        platform_.setStatus(status);
        tell(platform::BalloonIcon::Error, status);
        return;
      }
      forget(upload);
      platform_.setStatus(std::string(statusImageDeleted));
      tell(platform::BalloonIcon::Info, std::string(statusImageDeleted));
    });
  } catch (const std::exception&) {
    // The window is gone; nobody is left to tell.
  }
  deleting_ = false;
}

// A deleted upload's link is dead: it goes wherever the program put it.
void RecentUploads::forget(const UploadRecord& upload) {
  try {
    history_.remove(upload);
  } catch (const std::exception&) {
    // The history keeps the line; deleting it again finds it gone (410) and drops it then.
  }
  if (platform_.linkPage.link() == upload.link) platform_.linkPage.setLink("");
  platform_.clipboard.clearIfText(upload.link);
}

} // namespace glimor::net
