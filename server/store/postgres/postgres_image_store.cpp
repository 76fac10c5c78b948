#include "postgres_image_store.h"

#include "image_id.h"
#include "platform/error.h"
#include "sha256.h"

#include <ctime>

namespace glimor::server {
namespace {

// The bytes of one large image, fetched slice by slice with substring(), which
// on an uncompressed bytea reads only the slice's pages. The first slice came
// with the image's record and is handed out once without another query.
class ImageSlices : public BodyReader {
public:
  ImageSlices(std::shared_ptr<PgPool> pool, std::string id, std::uint64_t size, std::string first)
      : pool_(std::move(pool)), id_(std::move(id)), size_(size), first_(std::move(first)) {}

  std::uint64_t size() const override { return size_; }

  std::string read(std::uint64_t offset, std::size_t length) override {
    if (offset == 0 && !first_.empty() && length == first_.size()) return std::move(first_);
    return pool_->run([&](PgConnection& connection) {
      PgResult slice =
          connection.query("SELECT substring(bytes FROM $2 FOR $3) FROM images WHERE id = $1",
                           {PgParam::text(id_), PgParam::integer(static_cast<std::int64_t>(offset) + 1),
                            PgParam::integer(static_cast<std::int64_t>(length))});
      if (slice.rows() != 1) throw Error("Database error: image " + id_ + " vanished while it was sent");
      return std::string(slice.bytes(0, 0));
    });
  }

private:
  std::shared_ptr<PgPool> pool_;
  std::string id_;
  std::uint64_t size_;
  std::string first_;
};

} // namespace

PostgresImageStore::PostgresImageStore(std::shared_ptr<PgPool> pool, std::size_t partBytes)
    : pool_(std::move(pool)), partBytes_(partBytes) {}

std::string PostgresImageStore::add(const Upload& upload) {
  std::string checksum = sha256Hex(upload.bytes);
  return pool_->run([&](PgConnection& connection) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::string id = newImageId();
      PgResult inserted = connection.query(
          "INSERT INTO images (id, type, size, sha256, created_at, client_address, original_name, bytes,"
          " token_name, deletion_hash, thumbnail, duration_ms, width, height)"
          " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, NULLIF($9, ''), NULLIF($10, ''), NULLIF($11, ''::bytea),"
          " NULLIF($12, -1), $13, $14)"
          " ON CONFLICT (id) DO NOTHING",
          {PgParam::text(id), PgParam::text(std::string(upload.type.extension)),
           PgParam::integer(static_cast<std::int64_t>(upload.bytes.size())), PgParam::text(checksum),
           PgParam::integer(static_cast<std::int64_t>(std::time(nullptr))),
           PgParam::text(std::string(upload.clientAddress)), PgParam::bytes(upload.originalName),
           PgParam::bytes(upload.bytes), PgParam::text(std::string(upload.tokenName)),
           PgParam::text(std::string(upload.deletionHash)), PgParam::bytes(upload.thumbnail),
           PgParam::integer(upload.durationMs ? std::int64_t(*upload.durationMs) : -1),
           PgParam::integer(upload.width), PgParam::integer(upload.height)});
      if (inserted.affectedRows() == 1) return id;
    } // an id drawn twice: draw again
    throw Error("Cannot find a free image id");
  });
}

std::shared_ptr<const StoredImage> PostgresImageStore::find(std::string_view id) {
  if (!isImageId(id)) return nullptr;
  std::string key(id);

  auto image = std::make_shared<StoredImage>();
  image->id = key;
  std::uint64_t size = 0;
  bool found = pool_->run([&](PgConnection& connection) {
    PgResult row =
        connection.query("SELECT type, sha256, size, substring(bytes FROM 1 FOR $2)"
                         " FROM images WHERE id = $1",
                         {PgParam::text(key), PgParam::integer(static_cast<std::int64_t>(partBytes_))});
    if (row.rows() != 1) return false;
    auto type = imageTypeByExtension(row.bytes(0, 0));
    if (!type) return false;
    image->type = *type;
    image->sha256 = row.bytes(0, 1);
    size = static_cast<std::uint64_t>(row.int64(0, 2));
    image->bytes = row.bytes(0, 3);
    return true;
  });
  if (!found) return nullptr;
  image->size = size;
  if (size > image->bytes.size()) {
    image->reader = std::make_shared<ImageSlices>(pool_, key, size, std::move(image->bytes));
    image->bytes.clear();
  }
  return image;
}

std::shared_ptr<const StoredImage> PostgresImageStore::findRecord(std::string_view id) {
  if (!isImageId(id)) return nullptr;
  std::string key(id);
  auto image = std::make_shared<StoredImage>();
  image->id = key;
  bool found = pool_->run([&](PgConnection& connection) {
    PgResult row =
        connection.query("SELECT type, sha256, size FROM images WHERE id = $1", {PgParam::text(key)});
    if (row.rows() != 1) return false;
    auto type = imageTypeByExtension(row.bytes(0, 0));
    if (!type) return false;
    image->type = *type;
    image->sha256 = row.bytes(0, 1);
    image->size = static_cast<std::uint64_t>(row.int64(0, 2));
    return true;
  });
  if (!found) return nullptr;
  image->reader = std::make_shared<ImageSlices>(pool_, key, image->size, std::string());
  return image;
}

std::optional<std::string> PostgresImageStore::thumbnail(std::string_view id) {
  if (!isImageId(id)) return std::nullopt;
  return pool_->run([&](PgConnection& connection) -> std::optional<std::string> {
    PgResult row = connection.query("SELECT thumbnail FROM images WHERE id = $1 AND thumbnail IS NOT NULL",
                                    {PgParam::text(std::string(id))});
    if (row.rows() != 1) return std::nullopt;
    return std::string(row.bytes(0, 0));
  });
}

std::optional<std::string> PostgresImageStore::deletionHash(std::string_view id) {
  return pool_->run([&](PgConnection& connection) -> std::optional<std::string> {
    PgResult row =
        connection.query("SELECT deletion_hash FROM images WHERE id = $1 AND deletion_hash IS NOT NULL",
                         {PgParam::text(std::string(id))});
    if (row.rows() != 1) return std::nullopt;
    return std::string(row.bytes(0, 0));
  });
}

bool PostgresImageStore::remove(std::string_view id) {
  // One statement: the row goes and its tombstone comes in the same commit.
  return pool_->run([&](PgConnection& connection) {
    PgResult buried = connection.query(
        "WITH gone AS (DELETE FROM images WHERE id = $1 RETURNING id)"
        " INSERT INTO deleted_images (id, deleted_at)"
        " SELECT id, extract(epoch FROM clock_timestamp())::bigint FROM gone ON CONFLICT (id) DO NOTHING",
        {PgParam::text(std::string(id))});
    return buried.affectedRows() == 1;
  });
}

bool PostgresImageStore::wasRemoved(std::string_view id) {
  return pool_->run([&](PgConnection& connection) {
    return connection.query("SELECT 1 FROM deleted_images WHERE id = $1", {PgParam::text(std::string(id))})
               .rows() == 1;
  });
}

std::vector<ImageRecord> PostgresImageStore::list(const ImageQuery& query) {
  const std::string sql =
      std::string("SELECT id, type, size, created_at, client_address, coalesce(token_name, ''),"
                  " coalesce(duration_ms, -1), width, height FROM images"
                  " WHERE ($1 = 0 OR client_address = $2) AND ($3 = 0 OR coalesce(token_name, '') = $4)"
                  " AND created_at >= $5 AND created_at < $6 AND ($7 = 0 OR id = $8) ORDER BY ") +
      (query.newestFirst ? "created_at DESC, stored DESC" : "created_at, id") + " LIMIT $9 OFFSET $10";
  return pool_->run([&](PgConnection& connection) {
    PgResult rows = connection.query(
        sql.c_str(),
        {PgParam::integer(query.clientAddress.has_value()), PgParam::text(query.clientAddress.value_or("")),
         PgParam::integer(query.tokenName.has_value()), PgParam::text(query.tokenName.value_or("")),
         PgParam::integer(query.createdFrom), PgParam::integer(query.createdBefore),
         PgParam::integer(query.id.has_value()), PgParam::text(query.id.value_or("")),
         PgParam::integer(query.limit), PgParam::integer(query.offset)});
    std::vector<ImageRecord> records;
    for (int i = 0; i < rows.rows(); ++i) {
      auto type = imageTypeByExtension(rows.bytes(i, 1));
      if (!type) continue;
      records.push_back({std::string(rows.bytes(i, 0)), *type, static_cast<std::uint64_t>(rows.int64(i, 2)),
                         rows.int64(i, 3), std::string(rows.bytes(i, 4)), std::string(rows.bytes(i, 5)),
                         durationOf(rows.int64(i, 6)), std::uint32_t(rows.int64(i, 7)),
                         std::uint32_t(rows.int64(i, 8))});
    }
    return records;
  });
}

std::vector<Tombstone> PostgresImageStore::removedSince(std::int64_t time) {
  return pool_->run([&](PgConnection& connection) {
    PgResult rows = connection.query("SELECT id, deleted_at FROM deleted_images WHERE deleted_at >= $1",
                                     {PgParam::integer(time)});
    std::vector<Tombstone> tombstones;
    for (int i = 0; i < rows.rows(); ++i)
      tombstones.push_back({std::string(rows.bytes(i, 0)), rows.int64(i, 1)});
    return tombstones;
  });
}

std::size_t PostgresImageStore::pruneTombstones(std::int64_t time) {
  return pool_->run([&](PgConnection& connection) {
    return static_cast<std::size_t>(
        connection.query("DELETE FROM deleted_images WHERE deleted_at < $1", {PgParam::integer(time)})
            .affectedRows());
  });
}

bool PostgresImageStore::addRecordInBucket(std::string_view id, const Upload& upload,
                                           std::string_view sha256) {
  return pool_->run([&](PgConnection& connection) {
    return connection
               .query("INSERT INTO images (id, type, size, sha256, created_at, client_address, original_name,"
                      " token_name, deletion_hash, duration_ms, in_bucket)"
                      " VALUES ($1, $2, $3, $4, $5, $6, $7, NULLIF($8, ''), NULLIF($9, ''), NULLIF($10, -1), "
                      "true)"
                      " ON CONFLICT (id) DO NOTHING",
                      {PgParam::text(std::string(id)), PgParam::text(std::string(upload.type.extension)),
                       PgParam::integer(static_cast<std::int64_t>(upload.bytes.size())),
                       PgParam::text(std::string(sha256)),
                       PgParam::integer(static_cast<std::int64_t>(std::time(nullptr))),
                       PgParam::text(std::string(upload.clientAddress)), PgParam::bytes(upload.originalName),
                       PgParam::text(std::string(upload.tokenName)),
                       PgParam::text(std::string(upload.deletionHash)),
                       PgParam::integer(upload.durationMs ? std::int64_t(*upload.durationMs) : -1)})
               .affectedRows() == 1;
  });
}

std::optional<ImageRecordOnly> PostgresImageStore::recordOnly(std::string_view id) {
  if (!isImageId(id)) return std::nullopt;
  return pool_->run([&](PgConnection& connection) -> std::optional<ImageRecordOnly> {
    PgResult row =
        connection.query("SELECT type, sha256, size, in_bucket::int::bigint FROM images WHERE id = $1",
                         {PgParam::text(std::string(id))});
    if (row.rows() != 1) return std::nullopt;
    auto type = imageTypeByExtension(row.bytes(0, 0));
    if (!type) return std::nullopt;
    return ImageRecordOnly{*type, std::string(row.bytes(0, 1)), static_cast<std::uint64_t>(row.int64(0, 2)),
                           row.int64(0, 3) != 0};
  });
}

std::vector<std::string> PostgresImageStore::idsAfter(std::string_view after, bool inBucket,
                                                      std::size_t limit) {
  return pool_->run([&](PgConnection& connection) {
    PgResult rows =
        connection.query("SELECT id FROM images WHERE id > $1 AND in_bucket = ($2 = 1) ORDER BY id LIMIT $3",
                         {PgParam::text(std::string(after)), PgParam::integer(inBucket),
                          PgParam::integer(static_cast<std::int64_t>(limit))});
    std::vector<std::string> ids;
    for (int i = 0; i < rows.rows(); ++i) ids.emplace_back(rows.bytes(i, 0));
    return ids;
  });
}

bool PostgresImageStore::markInBucket(std::string_view id) {
  return pool_->run([&](PgConnection& connection) {
    return connection
               .query("UPDATE images SET in_bucket = true, bytes = NULL, thumbnail = NULL WHERE id = $1",
                      {PgParam::text(std::string(id))})
               .affectedRows() == 1;
  });
}

bool PostgresImageStore::keepHere(std::string_view id, std::string_view bytes, std::string_view thumbnail) {
  return pool_->run([&](PgConnection& connection) {
    return connection
               .query("UPDATE images SET in_bucket = false, bytes = $2, thumbnail = NULLIF($3, ''::bytea)"
                      " WHERE id = $1",
                      {PgParam::text(std::string(id)), PgParam::bytes(bytes), PgParam::bytes(thumbnail)})
               .affectedRows() == 1;
  });
}

std::uint64_t PostgresImageStore::storedBytes() {
  return pool_->run([](PgConnection& connection) {
    return static_cast<std::uint64_t>(
        connection.query("SELECT coalesce(sum(size), 0)::bigint FROM images", {}).int64(0, 0));
  });
}

} // namespace glimor::server
