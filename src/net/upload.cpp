#include "net/upload.h"

#include "http/refusal_text.h"
#include "net/field_after.h"
#include "net/link_actions.h"
#include "net/text_lines.h"
#include "net/upload_request.h"
#include "net/uploader_file.h"
#include "net/uploader_request.h"
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
    if (bytes < 1024 * 1024)
      std::snprintf(text, sizeof text, "%.0f KB", static_cast<double>(bytes) / 1024.0);
    else
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

std::string trimmed(std::string text) {
  const std::string_view blank = " \t\r\n";
  text.erase(0, std::min(text.find_first_not_of(blank), text.size()));
  text.erase(std::min(text.find_last_not_of(blank) + 1, text.size()));
  return text;
}

// What an answer says through the uploader file's ErrorMessage; empty when it says nothing. A
// message box holds a few lines, not a whole page that {response} may bring.
std::string errorMessageOf(const UploaderFile& uploader, const TemplateSource& source) {
  constexpr std::size_t shownAtMost = 500;
  if (uploader.errorMessage.empty()) return {};
  try {
    std::string text = trimmed(uploader.errorMessage.resolve(source));
    if (text.size() > shownAtMost) text = text.substr(0, shownAtMost) + "...";
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

// The upload's exchange as the uploader file says; a failure is shown as postImage's are, with
// the service's words through ErrorMessage where it gives them.
http::Bytes sendByUploaderFile(UploadView& view, ServiceClients& clients, const ServiceSettings& settings,
                               const UploaderFile& uploader, const UploaderRequest& request,
                               std::uint64_t fileBytes, const std::string& fileName, bool& shown) {
  http::Bytes answer;
  http::HttpClient& client = clients.uploadByFile(settings);
  try {
    client.Send(request.url, request.shape, request.body, answer);
  } catch (const platform::Cancelled&) {
    throw;
  } catch (const std::exception& error) {
    answer.clear();
    shown = true;
    const http::Bytes& refused = client.lastRefusedBody();
    const std::string refusedText(refused.begin(), refused.end());
    std::string text =
        client.lastAnswer().statusCode == 413 ? tooLargeText(fileBytes, error.what()) : error.what();
    if (client.lastAnswer().statusCode >= 300) {
      std::string said = errorMessageOf(uploader, TemplateSource(refusedText, client.lastAnswer(), fileName));
      if (!said.empty()) text = said;
    }
    // A refusal by that service says nothing about the image service's token.
    PostFailure failure = postFailureOf(error);
    if (failure == PostFailure::TokenRefused) failure = PostFailure::Other;
    view.showPostError(std::string(postErrorPrefix) + text, failure);
  }
  return answer;
}

// The web address that a line before the last gives after `label` ("Delete: ", "Page: "), the
// nearest to the link's line; empty when there is none (an older service) or it is no web address.
std::string labelledUrlOf(const std::vector<std::string>& lines, std::string_view label) {
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
    // A bad uploader file fails before anything is sent.
    std::optional<UploaderFile> uploader;
    if (!settings.uploaderFile.empty()) uploader = readUploaderFile(files, settings.uploaderFile);
    std::optional<platform::Bytes> image = files.read(filePath);
    if (!image) throw Error("Cannot open file \"" + filePath + "\".");
    const std::uint64_t imageSize = image->size();
    const std::string fileName = paths::fileNameOf(filePath);
    http::Bytes answer = uploader ? sendByUploaderFile(view, clients, settings, *uploader,
                                                       buildUploaderRequest(*uploader, filePath, *image),
                                                       imageSize, fileName, errorShown)
                                  : postImage(view, clients, settings, buildUploadBody(filePath, *image),
                                              imageSize, errorShown);
    image.reset();
    // The uploader file's templates read the answer as it came.
    const std::string answerText = uploader ? std::string(answer.begin(), answer.end()) : std::string();

    // The answer is kept on disk with a 0x00 after it, which ends the text when it is read back.
    answer.push_back(0);
    answerPath = paths::changeExtension(view.filePath(), ".dat");
    files.replace(*answerPath, answer);
    std::optional<platform::Bytes> stored = files.read(*answerPath);
    if (!stored) throw Error("Cannot read file \"" + *answerPath + "\".");
    // Only the last line matters; a few before it are kept for a look at what the service said.
    std::vector<std::string> lines = readTextLines(*stored, responseLinesKept);
    view.setResponseLines(lines);
    // A service named by an uploader file may answer with an empty body (the link in a header).
    if (errorShown || (lines.empty() && !uploader)) throw Error("The service gave no answer.");

    // Only a web address counts: a portal's page or a stray text must not replace the clipboard.
    UploadRecord record{{}, {}, {}, extension.substr(1), imageSize};
    std::string failureText(noLinkText);
    if (uploader) {
      const TemplateSource source(answerText, clients.uploadByFile(settings).lastAnswer(), fileName);
      try {
        record.link = trimmed(uploader->url.resolve(source));
        record.deletionUrl = trimmed(uploader->deletionUrl.resolve(source));
      } catch (const Error& error) {
        failureText = error.what();
      }
      if (!isWebLink(record.deletionUrl)) record.deletionUrl.clear();
      record.deletionByGet = !record.deletionUrl.empty();
      if (!isWebLink(record.link)) {
        if (std::string said = errorMessageOf(*uploader, source); !said.empty()) failureText = said;
      }
    } else {
      record.link = fieldAfter(lines.back(), 2, "Link: ");
      record.deletionUrl = labelledUrlOf(lines, "Delete: ");
      if (std::string page = labelledUrlOf(lines, "Page: ");
          settings.pageLink && isWebLink(record.link) && !page.empty())
        record.link = page;
    }
    const std::string& link = record.link;
    if (!isWebLink(link)) {
      errorShown = true;
      view.showPostError(std::string(postErrorPrefix) + failureText, PostFailure::Other);
      throw Error(failureText);
    }
    view.setLink(link);
    // The capture's picture, put there at the confirm, stays; a recording is no picture.
    if (settings.copyPicture && !paths::fileNameOf(filePath).starts_with("GlimorRecording.")) {
      announcement = {false, std::string(pictureKeptText) + link};
    } else {
      const bool copied = view.copyLink();
      announcement = {!copied, copied ? std::string(linkCopiedText) + link : std::string(linkNotCopiedText)};
    }
    view.rememberUpload(record);
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
