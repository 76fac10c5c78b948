#include "store_opening.h"

#include "pg_schema.h"
#include "platform/error.h"

#include "postgres_feedback_store.h"
#include "postgres_image_store.h"
#include "postgres_token_store.h"
#include "s3_image_store.h"
#include "sqlite_feedback_store.h"
#include "sqlite_image_store.h"
#include "sqlite_token_store.h"
#include <cstdlib>
#include <fstream>

namespace glimor::server {
namespace {

std::filesystem::path createdDataFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Error("Cannot create the data folder \"" + folder + "\": " + error.message());
  return folder;
}

// The database must be reachable at start-up, so a wrong URI stops the start;
// later outages are answered with 503 until the database is back.
std::shared_ptr<PgPool> openDatabase(const DatabaseSettings& settings, std::string& description) {
  auto pool = std::make_shared<PgPool>(settings.uri, settings.connections);
  try {
    pool->run([](PgConnection& connection) { migrateSchema(connection); });
    description = "images in PostgreSQL at " + pool->description();
  } catch (const DatabaseUnavailable& failure) {
    throw Error("Cannot reach the database: " + failure.detail());
  }
  return pool;
}

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

} // namespace

s3::Credentials loadS3Credentials(const S3Settings& settings) {
  s3::Credentials credentials;
  if (settings.credentialsFile) {
    std::ifstream file(*settings.credentialsFile);
    if (!file) throw Error("--s3-credentials: cannot read \"" + *settings.credentialsFile + "\"");
    std::getline(file, credentials.accessKey);
    std::getline(file, credentials.secretKey);
    credentials.accessKey = withoutLineEnd(credentials.accessKey);
    credentials.secretKey = withoutLineEnd(credentials.secretKey);
    if (credentials.accessKey.empty() || credentials.secretKey.empty())
      throw Error("--s3-credentials: \"" + *settings.credentialsFile +
                  "\" needs the access key on its first line and the secret key on its second");
    return credentials;
  }
  const char* access = std::getenv("GLIMOR_S3_ACCESS_KEY");
  const char* secret = std::getenv("GLIMOR_S3_SECRET_KEY");
  if (!access || !*access || !secret || !*secret)
    throw Error(
        "--s3 needs credentials: GLIMOR_S3_ACCESS_KEY and GLIMOR_S3_SECRET_KEY, or --s3-credentials FILE");
  return {access, secret};
}

OpenedStores openStores(const std::string& dataDirectory, const std::optional<DatabaseSettings>& database,
                        const std::optional<S3Settings>& s3) {
  OpenedStores stores;
  if (database) {
    auto pool = openDatabase(*database, stores.description);
    stores.images = std::make_unique<PostgresImageStore>(pool);
    stores.feedback = std::make_unique<PostgresFeedbackStore>(pool);
    stores.tokens = std::make_unique<PostgresTokenStore>(pool);
  } else {
    stores.images = std::make_unique<SqliteImageStore>(createdDataFolder(dataDirectory));
    stores.feedback = std::make_unique<SqliteFeedbackStore>(dataDirectory);
    stores.tokens = std::make_unique<SqliteTokenStore>(dataDirectory);
    stores.description = "data in " + dataDirectory;
  }
  if (s3) {
    auto bucket = std::make_shared<s3::Client>(
        s3::BucketAddress{s3->endpoint, s3->bucket, s3->region, s3->virtualHost}, loadS3Credentials(*s3));
    try {
      bucket->createBucket();
    } catch (const std::exception& failure) {
      throw Error(std::string("Cannot reach the bucket: ") + failure.what());
    }
    stores.description = "images in " + bucket->description() + ", records: " + stores.description;
    stores.images = std::make_unique<S3ImageStore>(std::move(stores.images), std::move(bucket), s3->redirect);
  }
  return stores;
}

} // namespace glimor::server
