#pragma once
#include "image_store.h"
#include "pg_pool.h"

#include <cstddef>
#include <memory>

namespace glimor::server {

// Images in the table "images" of a PostgreSQL database, bytes and record in
// one row written by one statement: the upload is answered after its commit,
// so a node killed at any moment leaves no row without its bytes and loses no
// acknowledged upload. Every node on the database serves every image.
//
// An image of at most `partBytes` is read in one query; a larger one is read in
// slices of `partBytes` while it is sent, so a request holds at most one slice.
class PostgresImageStore : public ImageStore, public ImageRecords {
public:
  explicit PostgresImageStore(std::shared_ptr<PgPool> pool, std::size_t partBytes = 256 * 1024);

  std::string add(const Upload& upload) override;
  std::shared_ptr<const StoredImage> find(std::string_view id) override;
  std::shared_ptr<const StoredImage> findRecord(std::string_view id) override;
  std::optional<std::string> thumbnail(std::string_view id) override;
  std::optional<std::string> deletionHash(std::string_view id) override;
  bool remove(std::string_view id) override;
  bool wasRemoved(std::string_view id) override;
  std::vector<ImageRecord> list(const ImageQuery& query) override;
  std::vector<Tombstone> removedSince(std::int64_t time) override;
  std::size_t pruneTombstones(std::int64_t time) override;
  std::uint64_t storedBytes() override;
  bool readsBlock() const override { return true; }

  bool addRecordInBucket(std::string_view id, const Upload& upload, std::string_view sha256) override;
  std::optional<ImageRecordOnly> recordOnly(std::string_view id) override;
  std::vector<std::string> idsAfter(std::string_view after, bool inBucket, std::size_t limit) override;
  bool markInBucket(std::string_view id) override;
  bool keepHere(std::string_view id, std::string_view bytes, std::string_view thumbnail) override;

private:
  std::shared_ptr<PgPool> pool_;
  std::size_t partBytes_;
};

} // namespace glimor::server
