#pragma once
#include "browser_sessions.h"
#include "cached_image_store.h"
#include "config.h"
#include "feedback_store.h"
#include "http_types.h"
#include "image_type.h"
#include "multipart.h"
#include "refusal.h"
#include "store_usage.h"
#include "thumbnail.h"
#include "token_store.h"
#include "update_files.h"
#include "upload_gate.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace glimor::server {

// Everything a request may reach: the configuration and the stores, either
// SQLite and files under --data or the PostgreSQL database of --database.
// Throws Error when the stores cannot be opened.
struct Service {
  explicit Service(const Config& config);

  Config config;
  std::unique_ptr<CachedImageStore> images;
  std::unique_ptr<FeedbackStore> feedback;
  std::unique_ptr<TokenStore> tokens;
  std::unique_ptr<UploadGate> gate;
  UpdateFiles updates;
  StoreUsage usage;
  std::unique_ptr<BrowserSessions> sessions; // of the page of one's uploads, in `tokens`
  std::string storeDescription;              // for the start-up line, e.g. "data in /srv/glimor"
};

// Stores `bytes` through `store()` within --max-store: refused with 507
// beyond it.
template <typename Store> auto withinStoreLimit(Service& service, std::uint64_t bytes, Store&& store) {
  if (!service.usage.claim(bytes)) throw storeFull();
  try {
    return store();
  } catch (...) {
    service.usage.release(bytes);
    throw;
  }
}

// Measures what the store holds, for --max-store; throws what the stores throw.
void measureStore(Service& service);

// Answers one complete request. Refusals become 4xx answers whose reason says
// why; an upload that asks for JSON gets them as {"error": reason}.
Response route(Service& service, const Request& request);

// An upload whose image decoded completely, ready to be stored. `content`
// points into the request's body, or into `strippedContent` when metadata was
// taken out of it.
struct CheckedUpload {
  std::string linkBase;
  ImageType type;
  std::string_view content;
  std::shared_ptr<const std::string> strippedContent;
  std::string fileName;
  Caller caller;
  PictureSize size;                        // width and height in pixels (a GIF's logical screen)
  std::string thumbnail;                   // a JPEG of at most thumbnailSide pixels a side
  std::optional<std::uint64_t> durationMs; // a recording's (several frames); nothing for a still picture
};

// An upload's two halves, so that decoding (processor work) and storing
// (waiting for the disk) run on threads of their own; route() runs both in
// turn. prepareUpload() gives either the checked upload or the refusal.
std::variant<CheckedUpload, Response> prepareUpload(Service& service, const Request& request);
Response finishUpload(Service& service, const Request& request, const CheckedUpload& upload);

// A refusal or failure as the request's client reads it: JSON for an upload
// that asks for it, else plain text.
Response errorResponse(const Request& request, int status, const std::string& reason);

// The handlers behind route(); they throw Refusal.
CheckedUpload checkUpload(Service& service, const Request& request);
// One file of a form checked as an upload: `linkBase` is where its links start.
CheckedUpload checkImagePart(Service& service, std::string linkBase, const MultipartPart& part,
                             const Caller& caller);
// Stores a checked upload; its links.
struct StoredLinks {
  std::string link, page, deletion, thumbnail;
};
StoredLinks storeImage(Service& service, std::string_view clientAddress, const CheckedUpload& upload);
Response storeUpload(Service& service, const Request& request, const CheckedUpload& upload);
Response handleImage(Service& service, const Request& request, std::string_view fileName);
Response handleThumbnail(Service& service, const Request& request, std::string_view fileName);
Response handleDeletion(Service& service, const Request& request, std::string_view idAndSecret);
Response handleFeedback(Service& service, const Request& request, const Caller& caller);
Response handleVersionFile(Service& service);
Response handleExecutable(Service& service, const Request& request);
Response handleHomePage(Service& service, const Request& request);
Response handleMyPage(Service& service, const Request& request);
Response handleViewPage(Service& service, const Request& request, std::string_view id);
Response handleBrowserUpload(Service& service, const Request& request);

// A signed-in browser's upload in the same two halves: its session, form value
// and files checked (every file before any is stored), then stored.
struct CheckedBrowserUpload {
  BrowserSession session;
  std::vector<CheckedUpload> files;
};
std::variant<CheckedBrowserUpload, Response> prepareBrowserUpload(Service& service, const Request& request);
Response finishBrowserUpload(Service& service, const Request& request, const CheckedBrowserUpload& upload);

} // namespace glimor::server
