#pragma once
#include "cached_image_store.h"
#include "config.h"
#include "feedback_store.h"
#include "http_types.h"
#include "token_store.h"
#include "update_files.h"
#include "upload_gate.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
  std::string storeDescription; // for the start-up line, e.g. "data in /srv/glimor"
};

// Answers one complete request. Refusals become 4xx answers whose reason says why.
Response route(Service& service, const Request& request);

// The most body bytes accepted for a request to `target`, checked before the body is read.
std::uint64_t bodyLimit(const Config& config, std::string_view target);

// The handlers behind route().
Response handleUpload(Service& service, const Request& request, const Caller& caller);
Response handleImage(Service& service, const Request& request, std::string_view fileName);
Response handleDeletion(Service& service, const Request& request, std::string_view idAndSecret);
Response handleFeedback(Service& service, const Request& request, const Caller& caller);
Response handleVersionFile(Service& service);
Response handleExecutable(Service& service, const Request& request);
Response handleHomePage(Service& service, const Request& request);

} // namespace glimor::server
