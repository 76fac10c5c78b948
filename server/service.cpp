#include "service.h"

#include "pg_schema.h"
#include "platform/error.h"
#include "postgres_feedback_store.h"
#include "postgres_image_store.h"
#include "postgres_token_store.h"
#include "sqlite_feedback_store.h"
#include "sqlite_image_store.h"
#include "sqlite_token_store.h"

namespace glimor::server {

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

Service::Service(const Config& configuration)
    : config(configuration), updates(configuration.updatesDirectory) {
  if (config.database) {
    auto pool = openDatabase(*config.database, storeDescription);
    images = std::make_unique<PostgresImageStore>(pool);
    feedback = std::make_unique<PostgresFeedbackStore>(pool);
    tokens = std::make_unique<PostgresTokenStore>(pool);
  } else {
    images = std::make_unique<SqliteImageStore>(createdDataFolder(config.dataDirectory));
    feedback = std::make_unique<SqliteFeedbackStore>(config.dataDirectory);
    tokens = std::make_unique<SqliteTokenStore>(config.dataDirectory);
    storeDescription = "data in " + config.dataDirectory;
  }
  gate = std::make_unique<UploadGate>(config, *tokens);
}

} // namespace glimor::server
