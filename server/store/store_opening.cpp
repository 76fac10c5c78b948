#include "store_opening.h"

#include "pg_schema.h"
#include "platform/error.h"
#include "postgres_feedback_store.h"
#include "postgres_image_store.h"
#include "postgres_token_store.h"
#include "sqlite_feedback_store.h"
#include "sqlite_image_store.h"
#include "sqlite_token_store.h"

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

} // namespace

OpenedStores openStores(const std::string& dataDirectory, const std::optional<DatabaseSettings>& database) {
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
  return stores;
}

} // namespace glimor::server
