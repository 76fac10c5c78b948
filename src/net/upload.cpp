#include "net/upload.h"

#include "http/refusal_text.h"
#include "net/field_after.h"
#include "net/link_actions.h"
#include "net/text_lines.h"
#include "net/upload_request.h"
#include "net/web_link.h"
#include "platform/cancel_token.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/socket_error.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace glimor::net {
namespace {

// A time-out: connecting or sending (socket error 10060), a read, or the whole exchange.
PostFailure postFailureOf(const std::exception& error) {
  if (isTokenRefusal(error)) return PostFailure::TokenRefused;
  const std::string_view text = error.what();
  if (text == "Read Timeout" || text.starts_with(platform::socketErrorMessage(platform::wsa::timedOut)) ||
      text.starts_with("The exchange with the service did not finish within"))
    return PostFailure::TimedOut;
  return PostFailure::Other;
}

// A file refused for its size, in the user's words: how large it is, and what the service takes
// where its refusal says so ("... larger than N bytes").
std::string tooLargeText(std::uint64_t fileBytes, const std::string& serviceText) {
  auto megabytes = [](std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return std::string(text);
  };
  std::string text = "The file is " + megabytes(fileBytes) + ", more than the service takes";
  const std::size_t at = serviceText.find("larger than ");
  std::uint64_t limit = 0;
  if (at != std::string::npos) {
    const char* digits = serviceText.c_str() + at + 12;
    auto [end, error] = std::from_chars(digits, serviceText.c_str() + serviceText.size(), limit);
    if (error == std::errc() && std::string_view(end).starts_with(" bytes") && limit > 0)
      return text + " (at most " + megabytes(limit) + "). Record a shorter or smaller part of the screen.";
  }
  return text + ": " + serviceText;
}

// Sends the body; a failed exchange is shown (`shown` set) and leaves no answer. An answer cut off
// before its end fails the exchange, so a half-received link is never reported as a finished upload.
http::Bytes postImage(UploadView& view, ServiceClients& clients, const ServiceSettings& settings,
                      const std::vector<std::uint8_t>& body, std::uint64_t fileBytes, bool& shown) {
  http::Bytes answer;
  try {
    clients.upload(settings).Post(settings.endpoints().uploadUrl(), body, answer);
  } catch (const platform::Cancelled&) {
    throw;
  } catch (const std::exception& error) {
    answer.clear();
    shown = true;
    auto refusal = dynamic_cast<const http::Refusal*>(&error);
    const std::string text = refusal && refusal->statusCode() == 413 ? tooLargeText(fileBytes, error.what())
                                                                     : clients.failureText(error);
    view.showPostError(std::string(postErrorPrefix) + text, postFailureOf(error));
  }
  return answer;
}

// The deletion link that a line before the last gives as "Delete: <url>", the nearest to the
// link's line; empty when there is none (an older service) or it is no web address.
std::string deletionUrlOf(const std::vector<std::string>& lines) {
  constexpr std::string_view label = "Delete: ";
  for (std::size_t i = lines.size() - 1; i-- > 0;) {
    if (!lines[i].starts_with(label)) continue;
    std::string url = lines[i].substr(label.size());
    return isWebLink(url) ? url : std::string();
  }
  return {};
}

} // namespace

UploadOutcome uploadImage(UploadView& view, ServiceClients& clients, const ServiceSettings& settings,
                          platform::Files& files) {
  const std::string filePath = view.filePath();
  // This status also tells the hot key that an upload runs, so it comes before anything else.
  view.setStatus(statusUploading);
  view.showBusy();

  if (!files.exists(filePath)) {
    view.setStatus(statusCanceled);
    view.endBusy();
    return UploadOutcome::Canceled;
  }
  std::string extension = paths::extensionOf(filePath);
  if (extension.empty() || !isAcceptedExtension(std::string_view(extension).substr(1))) {
    view.setStatus(statusUnknownType);
    view.endBusy();
    return UploadOutcome::UnknownFileType;
  }

  UploadOutcome outcome = UploadOutcome::Failed;
  std::optional<std::string> answerPath;
  bool errorShown = false; // a message box told the failure already
  struct {
    bool failed = false;
    std::string text; // none when empty
  } announcement;
  try {
    std::optional<platform::Bytes> image = files.read(filePath);
    if (!image) throw Error("Cannot open file \"" + filePath + "\".");
    const std::uint64_t imageSize = image->size();
    http::Bytes answer =
        postImage(view, clients, settings, buildUploadBody(filePath, *image), imageSize, errorShown);
    image.reset();

    // The answer is kept on disk with a 0x00 after it, which ends the text when it is read back.
    answer.push_back(0);
    answerPath = paths::changeExtension(view.filePath(), ".dat");
    files.replace(*answerPath, answer);
    std::optional<platform::Bytes> stored = files.read(*answerPath);
    if (!stored) throw Error("Cannot read file \"" + *answerPath + "\".");
    // Only the last line matters; a few before it are kept for a look at what the service said.
    std::vector<std::string> lines = readTextLines(*stored, responseLinesKept);
    view.setResponseLines(lines);
    if (lines.empty()) throw Error("The service gave no answer.");

    // Only a web address counts: a portal's page or a stray text must not replace the clipboard.
    std::string link = fieldAfter(lines.back(), 2, "Link: ");
    if (!isWebLink(link)) {
      errorShown = true;
      view.showPostError(std::string(postErrorPrefix) + std::string(noLinkText), PostFailure::Other);
      throw Error(std::string(noLinkText));
    }
    view.setLink(link);
    // The capture's picture, put there at the confirm, stays; a recording is no picture.
    if (settings.copyPicture && !paths::fileNameOf(filePath).starts_with("GlimorRecording.")) {
      announcement = {false, std::string(pictureKeptText) + link};
    } else {
      const bool copied = view.copyLink();
      announcement = {!copied, copied ? std::string(linkCopiedText) + link : std::string(linkNotCopiedText)};
    }
    view.rememberUpload({{}, link, deletionUrlOf(lines), extension.substr(1), imageSize});
    view.setStatus(statusComplete);
    view.startFloodLock();
    outcome = UploadOutcome::Complete;
  } catch (const platform::Cancelled&) {
    view.setStatus(statusCancelled);
    outcome = UploadOutcome::CancelledByUser;
  } catch (const std::exception& error) {
    if (!errorShown)
      announcement = {true, std::string(failedAnnouncement) + error.what() + " " + std::string(retryHint)};
    view.setStatus(statusFailed);
    view.startFloodLock();
  }

  // Last steps: a failure here only skips the steps after it. The window is not shown: the user's
  // focus stays in the program they work in.
  try {
    view.endBusy();
    if (!announcement.text.empty()) view.announce(announcement.failed, announcement.text);
    if (answerPath) files.remove(*answerPath);
  } catch (const std::exception&) {
  }
  return outcome;
}

} // namespace glimor::net
