#include "sqlite_image_store.h"

#include "durable_file.h"
#include "file_reader.h"
#include "image_id.h"
#include "platform/error.h"
#include "sha256.h"
#include "sqlite_schema.h"

#include <ctime>
#include <sqlite3.h>
#include <system_error>

namespace glimor::server {
namespace {

// Images up to this size are read whole (and may be cached).
constexpr std::uint64_t wholeImageLimit = 256 * 1024;

Database& withSchema(Database& database) {
  migrateSqliteSchema(database);
  return database;
}

std::filesystem::path createdFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Error("Cannot create folder \"" + folder.string() + "\": " + error.message());
  return folder;
}

// Runs `work` on a statement prepared for this one call.
template <typename Work> auto withStatement(Database& database, const char* sql, Work&& work) {
  Statement statement(database, sql);
  return work(statement);
}

} // namespace

SqliteImageStore::SqliteImageStore(const std::filesystem::path& dataDirectory)
    : images_(createdFolder(dataDirectory / "images")), temporary_(createdFolder(dataDirectory / "tmp")),
      reserve_(dataDirectory), database_((dataDirectory / "glimor.db").string()),
      insert_(withSchema(database_),
              "INSERT INTO images (id, type, size, sha256, created_at, client_address,"
              " original_name, token_name, deletion_hash, duration_ms, width, height) VALUES (?, ?, ?, ?, "
              "?, ?, ?, NULLIF(?, ''), NULLIF(?, ''), NULLIF(?, -1), ?, ?)"),
      reader_((dataDirectory / "glimor.db").string()),
      select_(reader_, "SELECT type, sha256, size FROM images WHERE id = ?"),
      commits_([this](const std::vector<const GroupCommit::Write*>& writes) { commitBatch(writes); }) {}

void SqliteImageStore::removeUnfinishedUploads(const std::filesystem::path& dataDirectory) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dataDirectory / "tmp", error))
    std::filesystem::remove(entry.path(), error);
}

void SqliteImageStore::commitBatch(const std::vector<const GroupCommit::Write*>& writes) {
  std::lock_guard lock(databaseMutex_);
  try {
    Transaction transaction(database_);
    for (const auto* write : writes) (*write)();
    transaction.commit();
  } catch (...) {
    insert_.reset();
    throw;
  }
}

std::filesystem::path SqliteImageStore::imagePath(const std::string& id, ImageType type) const {
  return images_ / id.substr(0, 2) / (id + "." + std::string(type.extension));
}

std::filesystem::path SqliteImageStore::thumbnailPath(const std::string& id) const {
  return images_ / id.substr(0, 2) / (id + ".thumb.jpg");
}

std::string SqliteImageStore::add(const Upload& upload) {
  std::string checksum = sha256Hex(upload.bytes);
  for (int attempt = 0;; ++attempt) {
    std::string id = newImageId();
    std::filesystem::path target = imagePath(id, upload.type);
    std::filesystem::path staging = temporary_ / (id + ".part");
    createFolderDurably(target.parent_path());
    if (!writeDurably(staging, target, upload.bytes)) {
      if (attempt < 3) continue; // an id drawn twice: draw again
      throw Error("Cannot find a free image id");
    }
    try {
      // The thumbnail is on disk before the row, like the image.
      if (!upload.thumbnail.empty() &&
          !writeDurably(temporary_ / (id + ".thumb.part"), thumbnailPath(id), upload.thumbnail))
        throw Error("A thumbnail without its image is in the way: " + thumbnailPath(id).string());
      commits_.run([&] {
        insert_.bindText(1, id)
            .bindText(2, upload.type.extension)
            .bindInteger(3, static_cast<std::int64_t>(upload.bytes.size()))
            .bindText(4, checksum)
            .bindInteger(5, static_cast<std::int64_t>(std::time(nullptr)))
            .bindText(6, upload.clientAddress)
            .bindBlob(7, upload.originalName)
            .bindText(8, upload.tokenName)
            .bindText(9, upload.deletionHash)
            .bindInteger(10, upload.durationMs ? std::int64_t(*upload.durationMs) : -1)
            .bindInteger(11, upload.width)
            .bindInteger(12, upload.height);
        insert_.run();
      });
    } catch (...) {
      std::error_code ignored;
      std::filesystem::remove(target, ignored);
      std::filesystem::remove(thumbnailPath(id), ignored);
      throw;
    }
    return id;
  }
}

std::shared_ptr<const StoredImage> SqliteImageStore::find(std::string_view id) {
  if (!isImageId(id)) return nullptr;
  auto image = std::make_shared<StoredImage>();
  image->id = id;
  {
    std::lock_guard lock(readerMutex_);
    select_.bindText(1, id);
    bool found = select_.step();
    if (found) {
      auto type = imageTypeByExtension(select_.columnText(0));
      if (type) image->type = *type;
      found = type.has_value();
      image->sha256 = select_.columnText(1);
      image->size = static_cast<std::uint64_t>(select_.columnInteger(2));
    }
    select_.reset();
    if (!found) return nullptr;
  }
  // A large image is read from its file part by part while it is sent.
  if (image->size > wholeImageLimit) {
    image->reader = FileReader::open(imagePath(image->id, image->type));
    if (!image->reader) return nullptr;
    return image;
  }
  auto bytes = readWholeFile(imagePath(image->id, image->type));
  if (!bytes) return nullptr;
  image->bytes = std::move(*bytes);
  return image;
}

std::optional<std::string> SqliteImageStore::thumbnail(std::string_view id) {
  if (!isImageId(id)) return std::nullopt;
  {
    // Only an image with a row has a thumbnail, whatever files lie about.
    std::lock_guard lock(readerMutex_);
    select_.bindText(1, id);
    bool found = select_.step();
    select_.reset();
    if (!found) return std::nullopt;
  }
  return readWholeFile(thumbnailPath(std::string(id)));
}

std::optional<std::string> SqliteImageStore::deletionHash(std::string_view id) {
  std::lock_guard lock(readerMutex_);
  return withStatement(reader_, "SELECT deletion_hash FROM images WHERE id = ? AND deletion_hash IS NOT NULL",
                       [&](Statement& select) -> std::optional<std::string> {
                         select.bindText(1, id);
                         if (!select.step()) return std::nullopt;
                         return select.columnText(0);
                       });
}

bool SqliteImageStore::remove(std::string_view id) {
  std::optional<ImageType> type;
  // On a full disk the reserve makes room for the removal's journal.
  reserve_.freeing([&] {
    type.reset();
    std::lock_guard lock(databaseMutex_);
    Transaction transaction(database_);
    withStatement(database_, "DELETE FROM images WHERE id = ? RETURNING type", [&](Statement& erase) {
      erase.bindText(1, id);
      if (erase.step()) type = imageTypeByExtension(erase.columnText(0));
      while (erase.step()) {
      }
    });
    if (!type) return;
    withStatement(database_, "INSERT OR IGNORE INTO deleted_images (id, deleted_at) VALUES (?, ?)",
                  [&](Statement& bury) {
                    bury.bindText(1, id).bindInteger(2, static_cast<std::int64_t>(std::time(nullptr)));
                    bury.run();
                  });
    transaction.commit();
  });
  if (!type) return false;
  // The row is gone first: a crash before this line leaves a file that is never served.
  std::error_code ignored;
  std::filesystem::remove(imagePath(std::string(id), *type), ignored);
  std::filesystem::remove(thumbnailPath(std::string(id)), ignored);
  reserve_.restore(); // in the room the image has left
  return true;
}

bool SqliteImageStore::wasRemoved(std::string_view id) {
  std::lock_guard lock(readerMutex_);
  return withStatement(reader_, "SELECT 1 FROM deleted_images WHERE id = ?", [&](Statement& select) {
    select.bindText(1, id);
    return select.step();
  });
}

std::vector<ImageRecord> SqliteImageStore::list(const ImageQuery& query) {
  std::lock_guard lock(readerMutex_);
  const std::string sql =
      std::string("SELECT id, type, size, created_at, client_address, coalesce(token_name, ''),"
                  " coalesce(duration_ms, -1), width, height FROM images"
                  " WHERE (? = 0 OR client_address = ?) AND (? = 0 OR coalesce(token_name, '') = ?)"
                  " AND created_at >= ? AND created_at < ? AND (? = 0 OR id = ?) ORDER BY ") +
      (query.newestFirst ? "created_at DESC, rowid DESC" : "created_at, id") + " LIMIT ? OFFSET ?";
  return withStatement(reader_, sql.c_str(), [&](Statement& select) {
    select.bindInteger(1, query.clientAddress.has_value())
        .bindText(2, query.clientAddress.value_or(""))
        .bindInteger(3, query.tokenName.has_value())
        .bindText(4, query.tokenName.value_or(""))
        .bindInteger(5, query.createdFrom)
        .bindInteger(6, query.createdBefore)
        .bindInteger(7, query.id.has_value())
        .bindText(8, query.id.value_or(""))
        .bindInteger(9, query.limit)
        .bindInteger(10, query.offset);
    std::vector<ImageRecord> records;
    while (select.step()) {
      auto type = imageTypeByExtension(select.columnText(1));
      if (!type) continue;
      records.push_back({select.columnText(0), *type, static_cast<std::uint64_t>(select.columnInteger(2)),
                         select.columnInteger(3), select.columnText(4), select.columnText(5),
                         durationOf(select.columnInteger(6)), std::uint32_t(select.columnInteger(7)),
                         std::uint32_t(select.columnInteger(8))});
    }
    return records;
  });
}

std::vector<Tombstone> SqliteImageStore::removedSince(std::int64_t time) {
  std::lock_guard lock(readerMutex_);
  return withStatement(reader_, "SELECT id, deleted_at FROM deleted_images WHERE deleted_at >= ?",
                       [&](Statement& select) {
                         select.bindInteger(1, time);
                         std::vector<Tombstone> tombstones;
                         while (select.step())
                           tombstones.push_back({select.columnText(0), select.columnInteger(1)});
                         return tombstones;
                       });
}

std::size_t SqliteImageStore::pruneTombstones(std::int64_t time) {
  std::lock_guard lock(databaseMutex_);
  withStatement(database_, "DELETE FROM deleted_images WHERE deleted_at < ?",
                [&](Statement& erase) { erase.bindInteger(1, time).run(); });
  return static_cast<std::size_t>(sqlite3_changes(database_.handle()));
}

bool SqliteImageStore::addRecordInBucket(std::string_view id, const Upload& upload, std::string_view sha256) {
  bool added = false;
  commits_.run([&] {
    Statement insert(database_,
                     "INSERT OR IGNORE INTO images (id, type, size, sha256, created_at, client_address,"
                     " original_name, token_name, deletion_hash, duration_ms, in_bucket) VALUES (?, ?,"
                     " ?, ?, ?, ?, ?, NULLIF(?, ''), NULLIF(?, ''), NULLIF(?, -1), 1)");
    insert.bindText(1, id)
        .bindText(2, upload.type.extension)
        .bindInteger(3, static_cast<std::int64_t>(upload.bytes.size()))
        .bindText(4, sha256)
        .bindInteger(5, static_cast<std::int64_t>(std::time(nullptr)))
        .bindText(6, upload.clientAddress)
        .bindBlob(7, upload.originalName)
        .bindText(8, upload.tokenName)
        .bindText(9, upload.deletionHash)
        .bindInteger(10, upload.durationMs ? std::int64_t(*upload.durationMs) : -1);
    insert.run();
    added = sqlite3_changes(database_.handle()) == 1;
  });
  return added;
}

std::optional<ImageRecordOnly> SqliteImageStore::recordOnly(std::string_view id) {
  if (!isImageId(id)) return std::nullopt;
  std::lock_guard lock(readerMutex_);
  return withStatement(reader_, "SELECT type, sha256, size, in_bucket FROM images WHERE id = ?",
                       [&](Statement& select) -> std::optional<ImageRecordOnly> {
                         select.bindText(1, id);
                         if (!select.step()) return std::nullopt;
                         auto type = imageTypeByExtension(select.columnText(0));
                         if (!type) return std::nullopt;
                         return ImageRecordOnly{*type, select.columnText(1),
                                                static_cast<std::uint64_t>(select.columnInteger(2)),
                                                select.columnInteger(3) != 0};
                       });
}

std::vector<std::string> SqliteImageStore::idsAfter(std::string_view after, bool inBucket,
                                                    std::size_t limit) {
  std::lock_guard lock(readerMutex_);
  return withStatement(
      reader_, "SELECT id FROM images WHERE id > ? AND in_bucket = ? ORDER BY id LIMIT ?",
      [&](Statement& select) {
        select.bindText(1, after).bindInteger(2, inBucket).bindInteger(3, static_cast<std::int64_t>(limit));
        std::vector<std::string> ids;
        while (select.step()) ids.push_back(select.columnText(0));
        return ids;
      });
}

bool SqliteImageStore::markInBucket(std::string_view id) {
  auto record = recordOnly(id);
  if (!record) return false;
  {
    std::lock_guard lock(databaseMutex_);
    withStatement(database_, "UPDATE images SET in_bucket = 1 WHERE id = ?",
                  [&](Statement& update) { update.bindText(1, id).run(); });
  }
  // The record points at the bucket first: a crash here leaves files never served.
  std::error_code ignored;
  std::filesystem::remove(imagePath(std::string(id), record->type), ignored);
  std::filesystem::remove(thumbnailPath(std::string(id)), ignored);
  return true;
}

bool SqliteImageStore::keepHere(std::string_view id, std::string_view bytes, std::string_view thumbnail) {
  auto record = recordOnly(id);
  if (!record) return false;
  std::string key(id);
  std::filesystem::path target = imagePath(key, record->type);
  createFolderDurably(target.parent_path());
  std::error_code ignored;
  // Copies left by an earlier attempt are replaced.
  std::filesystem::remove(target, ignored);
  std::filesystem::remove(thumbnailPath(key), ignored);
  if (!writeDurably(temporary_ / (key + ".part"), target, bytes) ||
      (!thumbnail.empty() &&
       !writeDurably(temporary_ / (key + ".thumb.part"), thumbnailPath(key), thumbnail)))
    throw Error("Cannot write the image " + key + " back to " + target.string());
  std::lock_guard lock(databaseMutex_);
  withStatement(database_, "UPDATE images SET in_bucket = 0 WHERE id = ?",
                [&](Statement& update) { update.bindText(1, id).run(); });
  return true;
}

std::uint64_t SqliteImageStore::storedBytes() {
  std::lock_guard lock(readerMutex_);
  return withStatement(reader_, "SELECT coalesce(sum(size), 0) FROM images", [](Statement& sum) {
    sum.step();
    return static_cast<std::uint64_t>(sum.columnInteger(0));
  });
}

} // namespace glimor::server
