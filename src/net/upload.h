#pragma once
#include "net/service_clients.h"
#include "net/upload_view.h"
#include "platform/files.h"

#include <string_view>

namespace glimor::net {

inline constexpr std::string_view statusUploading = "Uploading image...";
inline constexpr std::string_view statusCanceled = "Action canceled!";
inline constexpr std::string_view statusUnknownType = "Unknown file type.";
inline constexpr std::string_view statusComplete = "Upload complete.";
inline constexpr std::string_view statusFailed = "Image could not be uploaded.";
inline constexpr std::string_view statusCancelled = "Upload cancelled."; // the user called it off
inline constexpr std::string_view postErrorPrefix = "Error encountered during POST: ";
// After postErrorPrefix when the answer's last line holds no web address after "Link: ".
inline constexpr std::string_view noLinkText = "The service's answer holds no link to the image.";
// The balloon of a failure that no message box told: this, the error's text, then the hint.
inline constexpr std::string_view failedAnnouncement = "Image could not be uploaded: ";
inline constexpr std::string_view retryHint = "\"Retry upload\" in the tray menu sends the capture again.";
// How many of the answer's last lines ResponseLines keeps.
inline constexpr std::size_t responseLinesKept = 1000;

// Canceled: there was no file to upload; CancelledByUser: the user called the exchange off.
enum class UploadOutcome { Canceled, UnknownFileType, Complete, Failed, CancelledByUser };

// One upload attempt, start to end: the checks, the request body, the POST to the service that
// `settings` name through `clients`' upload client, the answer kept beside the image as a .dat
// file and read back as lines, the link from the last line, and every effect on the window
// through `view`, which it never shows. An exchange that the upload client's `cancel()` calls off leaves the
// link and the clipboard alone and sets no anti-flood lock.
UploadOutcome uploadImage(UploadView& view, ServiceClients& clients, const ServiceSettings& settings,
                          platform::Files& files);

} // namespace glimor::net
