#include "sqlite_schema.h"

#include "platform/error.h"

#include <iterator>
#include <string>

namespace glimor::server {
namespace {

// Version n is migrations[n - 1]; new versions are appended, never edited.
constexpr const char* migrations[] = {
    // 1: the tables as they were before the schema had a version, so such a
    // database keeps its rows and is only stamped.
    "CREATE TABLE IF NOT EXISTS images ("
    " id TEXT PRIMARY KEY NOT NULL,"
    " type TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " sha256 TEXT NOT NULL,"
    " created_at INTEGER NOT NULL," // seconds since 1970, UTC
    " client_address TEXT NOT NULL,"
    " original_name BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS feedback ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name BLOB NOT NULL,"
    " email BLOB NOT NULL,"
    " category BLOB NOT NULL,"
    " text BLOB NOT NULL,"
    " created_at INTEGER NOT NULL,"
    " client_address TEXT NOT NULL);",
    // 2: the upload token's name and the hash of the deletion secret (both
    // NULL for older images), and the tombstones of removed images.
    "ALTER TABLE images ADD COLUMN token_name TEXT;"
    "ALTER TABLE images ADD COLUMN deletion_hash TEXT;"
    "CREATE INDEX images_created_at ON images (created_at);"
    "CREATE INDEX images_client_address ON images (client_address);"
    "CREATE INDEX images_token_name ON images (token_name);"
    "CREATE TABLE deleted_images ("
    " id TEXT PRIMARY KEY NOT NULL,"
    " deleted_at INTEGER NOT NULL);" // seconds since 1970, UTC
    "CREATE INDEX deleted_images_deleted_at ON deleted_images (deleted_at);",
    // 3: upload tokens, each kept as the SHA-256 of the token.
    "CREATE TABLE tokens ("
    " name TEXT PRIMARY KEY NOT NULL,"
    " hash TEXT NOT NULL UNIQUE,"
    " created_at INTEGER NOT NULL);", // seconds since 1970, UTC
    // 4: how long a recording (animated GIF, WebM) plays; NULL for a still picture.
    "ALTER TABLE images ADD COLUMN duration_ms INTEGER;",
    // 5: the picture's width and height in pixels (0 for older images), for its page.
    "ALTER TABLE images ADD COLUMN width INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE images ADD COLUMN height INTEGER NOT NULL DEFAULT 0;",
    // 6: browser sessions of the page of one's uploads, each under its id's SHA-256.
    "CREATE TABLE browser_sessions ("
    " id_hash TEXT PRIMARY KEY NOT NULL,"
    " token_hash TEXT NOT NULL,"
    " token_name TEXT NOT NULL,"
    " csrf TEXT NOT NULL,"
    " opened_at INTEGER NOT NULL);" // seconds since 1970, UTC
    "CREATE INDEX browser_sessions_token ON browser_sessions (token_hash, opened_at);",
    // 7: whether the image's bytes and thumbnail are in an S3 bucket instead of files.
    "ALTER TABLE images ADD COLUMN in_bucket INTEGER NOT NULL DEFAULT 0;",
};
constexpr int latestVersion = static_cast<int>(std::size(migrations));

} // namespace

void migrateSqliteSchema(Database& database) {
  // BEGIN IMMEDIATE takes the write lock first, so processes that open the
  // database together migrate it one after the other.
  Transaction transaction(database);
  int version = 0;
  {
    Statement current(database, "PRAGMA user_version");
    if (current.step()) version = static_cast<int>(current.columnInteger(0));
  }
  if (version > latestVersion)
    throw Error("The database's schema is version " + std::to_string(version) +
                ", newer than this glimor-server knows (" + std::to_string(latestVersion) + ")");
  if (version == latestVersion) return;
  for (int next = version + 1; next <= latestVersion; ++next) database.execute(migrations[next - 1]);
  database.execute(("PRAGMA user_version = " + std::to_string(latestVersion)).c_str());
  transaction.commit();
}

} // namespace glimor::server
