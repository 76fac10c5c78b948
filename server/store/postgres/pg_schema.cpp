#include "pg_schema.h"

#include "platform/error.h"

#include <iterator>
#include <string>

namespace glimor::server {
namespace {

// Any number shared by every node; "glimor" in ASCII.
constexpr const char* lockSql = "SELECT pg_advisory_xact_lock(113723472355186)";

// Version n is migrations[n - 1]; new versions are appended, never edited.
constexpr const char* migrations[] = {
    // 1: images with their bytes in the same row, so a row never exists
    // without them; feedback as in the SQLite store. The image bytes are
    // already compressed, and stored uncompressed (EXTERNAL) they can be read
    // out in slices without decompressing the whole value.
    "CREATE TABLE images ("
    " id text PRIMARY KEY,"
    " type text NOT NULL,"
    " size bigint NOT NULL,"
    " sha256 text NOT NULL,"
    " created_at bigint NOT NULL," // seconds since 1970, UTC
    " client_address text NOT NULL,"
    " original_name bytea NOT NULL,"
    " bytes bytea NOT NULL CHECK (octet_length(bytes) = size));"
    "ALTER TABLE images ALTER COLUMN bytes SET STORAGE EXTERNAL;"
    "CREATE TABLE feedback ("
    " id bigserial PRIMARY KEY,"
    " name bytea NOT NULL,"
    " email bytea NOT NULL,"
    " category bytea NOT NULL,"
    " text bytea NOT NULL,"
    " created_at bigint NOT NULL,"
    " client_address text NOT NULL);",
    // 2: the upload token's name and the hash of the deletion secret (both
    // NULL for older images), and the tombstones of removed images.
    "ALTER TABLE images ADD COLUMN token_name text, ADD COLUMN deletion_hash text;"
    "CREATE INDEX images_created_at ON images (created_at);"
    "CREATE INDEX images_client_address ON images (client_address);"
    "CREATE INDEX images_token_name ON images (token_name);"
    "CREATE TABLE deleted_images ("
    " id text PRIMARY KEY,"
    " deleted_at bigint NOT NULL);" // seconds since 1970, UTC, by the database's clock
    "CREATE INDEX deleted_images_deleted_at ON deleted_images (deleted_at);",
    // 3: upload tokens, each kept as the SHA-256 of the token.
    "CREATE TABLE tokens ("
    " name text PRIMARY KEY,"
    " hash text NOT NULL UNIQUE,"
    " created_at bigint NOT NULL);",
    // 4: the thumbnail of each image (NULL for older images), in the image's row,
    // and the order in which images were stored, for lists within one second.
    "ALTER TABLE images ADD COLUMN thumbnail bytea, ADD COLUMN stored bigserial;",
    // 5: how long a recording (animated GIF, WebM) plays; NULL for a still picture.
    "ALTER TABLE images ADD COLUMN duration_ms bigint;",
    // 6: the picture's width and height in pixels (0 for older images), for its page.
    "ALTER TABLE images ADD COLUMN width bigint NOT NULL DEFAULT 0,"
    " ADD COLUMN height bigint NOT NULL DEFAULT 0;",
    // 7: browser sessions of the page of one's uploads, each under its id's SHA-256.
    "CREATE TABLE browser_sessions ("
    " id_hash text PRIMARY KEY,"
    " token_hash text NOT NULL,"
    " token_name text NOT NULL,"
    " csrf text NOT NULL,"
    " opened_at bigint NOT NULL,"
    " opened bigserial);"
    "CREATE INDEX browser_sessions_token ON browser_sessions (token_hash, opened_at);",
    // 8: whether the image's bytes and thumbnail are in an S3 bucket instead
    // of this row, whose bytes are then NULL (the size check passes on NULL).
    "ALTER TABLE images ADD COLUMN in_bucket boolean NOT NULL DEFAULT false,"
    " ALTER COLUMN bytes DROP NOT NULL;",
};
constexpr int latestVersion = static_cast<int>(std::size(migrations));

} // namespace

void migrateSchema(PgConnection& connection) {
  connection.execute("BEGIN");
  try {
    connection.execute(lockSql);
    connection.execute("CREATE TABLE IF NOT EXISTS glimor_schema (version integer NOT NULL)");
    PgResult current = connection.query("SELECT coalesce(max(version), 0)::bigint FROM glimor_schema", {});
    int version = static_cast<int>(current.int64(0, 0));
    if (version > latestVersion)
      throw Error("The database's schema is version " + std::to_string(version) +
                  ", newer than this glimor-server knows (" + std::to_string(latestVersion) + ")");
    for (int next = version + 1; next <= latestVersion; ++next) connection.execute(migrations[next - 1]);
    if (version < latestVersion) {
      connection.execute("DELETE FROM glimor_schema");
      connection.query("INSERT INTO glimor_schema (version) VALUES ($1)", {PgParam::integer(latestVersion)});
    }
    connection.execute("COMMIT");
  } catch (...) {
    try {
      if (!connection.broken()) connection.execute("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

} // namespace glimor::server
