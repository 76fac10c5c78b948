#pragma once
#include "config.h"
#include "feedback_store.h"
#include "image_store.h"
#include "pg_pool.h"
#include "token_store.h"

#include <memory>
#include <string>

namespace glimor::server {

// The stores that --data or --database name, their schema brought up to date.
// The service and the admin command open them alike. Throws Error when they
// cannot be opened (the database unreachable, a schema newer than this program).
struct OpenedStores {
  std::unique_ptr<ImageStore> images;
  std::unique_ptr<FeedbackStore> feedback;
  std::unique_ptr<TokenStore> tokens;
  std::string description; // e.g. "data in /srv/glimor"
};

OpenedStores openStores(const std::string& dataDirectory, const std::optional<DatabaseSettings>& database);

} // namespace glimor::server
