#pragma once
#include "config.h"
#include "feedback_store.h"
#include "image_store.h"
#include "pg_pool.h"
#include "sigv4.h"
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

// With `s3`, the image bytes are in its bucket (made when missing) and the
// records in the store the other two name.
OpenedStores openStores(const std::string& dataDirectory, const std::optional<DatabaseSettings>& database,
                        const std::optional<S3Settings>& s3 = std::nullopt);

// The bucket's credentials: GLIMOR_S3_ACCESS_KEY and GLIMOR_S3_SECRET_KEY, or
// the file of --s3-credentials (the access key on its first line, the secret
// key on its second). Throws Error naming what is missing.
s3::Credentials loadS3Credentials(const S3Settings& settings);

} // namespace glimor::server
