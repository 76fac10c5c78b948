#include "sqlite_image_store.h"

#include "durable_file.h"
#include "file_reader.h"
#include "image_id.h"
#include "platform/error.h"
#include "sha256.h"

#include <ctime>
#include <system_error>

namespace glimor::server {
namespace {

// Images up to this size are read whole and kept in the cache.
constexpr std::uint64_t wholeImageLimit = 256 * 1024;

Database& openWithSchema(Database& database) {
  database.execute("CREATE TABLE IF NOT EXISTS images ("
                   " id TEXT PRIMARY KEY NOT NULL,"
                   " type TEXT NOT NULL,"
                   " size INTEGER NOT NULL,"
                   " sha256 TEXT NOT NULL,"
                   " created_at INTEGER NOT NULL," // seconds since 1970, UTC
                   " client_address TEXT NOT NULL,"
                   " original_name BLOB NOT NULL)");
  return database;
}

std::filesystem::path createdFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Error("Cannot create folder \"" + folder.string() + "\": " + error.message());
  return folder;
}

// Left-overs of uploads interrupted by a crash; they were never recorded.
void removeUnfinishedUploads(const std::filesystem::path& temporary) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(temporary, error))
    std::filesystem::remove(entry.path(), error);
}

} // namespace

SqliteImageStore::SqliteImageStore(const std::filesystem::path& dataDirectory, std::size_t cacheBytes)
    : images_(createdFolder(dataDirectory / "images")), temporary_(createdFolder(dataDirectory / "tmp")),
      database_((dataDirectory / "glimor.db").string()),
      insert_(openWithSchema(database_),
              "INSERT INTO images (id, type, size, sha256, created_at, client_address,"
              " original_name) VALUES (?, ?, ?, ?, ?, ?, ?)"),
      select_(database_, "SELECT type, sha256, size FROM images WHERE id = ?"), cache_(cacheBytes),
      commits_([this](const std::vector<const GroupCommit::Write*>& writes) { commitBatch(writes); }) {
  removeUnfinishedUploads(temporary_);
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
      commits_.run([&] {
        insert_.bindText(1, id)
            .bindText(2, upload.type.extension)
            .bindInteger(3, static_cast<std::int64_t>(upload.bytes.size()))
            .bindText(4, checksum)
            .bindInteger(5, static_cast<std::int64_t>(std::time(nullptr)))
            .bindText(6, upload.clientAddress)
            .bindBlob(7, upload.originalName);
        insert_.run();
      });
    } catch (...) {
      std::error_code ignored;
      std::filesystem::remove(target, ignored);
      throw;
    }
    return id;
  }
}

std::shared_ptr<const StoredImage> SqliteImageStore::find(std::string_view id) {
  if (!isImageId(id)) return nullptr;
  std::string key(id);
  if (auto cached = cache_.get(key)) return cached;

  auto image = std::make_shared<StoredImage>();
  image->id = key;
  {
    std::lock_guard lock(databaseMutex_);
    select_.bindText(1, key);
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
    image->reader = FileReader::open(imagePath(key, image->type));
    if (!image->reader) return nullptr;
    return image;
  }
  auto bytes = readWholeFile(imagePath(key, image->type));
  if (!bytes) return nullptr;
  image->bytes = std::move(*bytes);
  cache_.put(key, image, image->bytes.size());
  return image;
}

} // namespace glimor::server
