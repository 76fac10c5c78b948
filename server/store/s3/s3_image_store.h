#pragma once
#include "image_store.h"
#include "s3_client.h"
#include "store_error.h"

#include <memory>

namespace glimor::server {

// Images whose bytes and thumbnails are objects of an S3 bucket
// ("images/<id>", "thumbnails/<id>.jpg") while their records stay in the
// SQLite or PostgreSQL store underneath. An upload's objects are in the bucket
// before its record is written, so no record names bytes that are not there; a
// removal takes the record first and the objects after, so a crash between
// leaves only objects no record names, which removeStrayBytes() finds. Images
// whose bytes are still in the store underneath (before or during a migration)
// are served from there.
class S3ImageStore : public ImageStore {
public:
  // `records` is the store underneath; it must also be ImageRecords.
  S3ImageStore(std::unique_ptr<ImageStore> records, std::shared_ptr<s3::Client> bucket, bool redirect);

  static std::string imageKey(std::string_view id) { return "images/" + std::string(id); }
  static std::string thumbnailKey(std::string_view id) { return "thumbnails/" + std::string(id) + ".jpg"; }

  std::string add(const Upload& upload) override;
  std::shared_ptr<const StoredImage> find(std::string_view id) override;
  std::shared_ptr<const StoredImage> findRecord(std::string_view id) override;
  std::optional<std::string> thumbnail(std::string_view id) override;
  std::optional<std::string> deletionHash(std::string_view id) override { return records_->deletionHash(id); }
  bool remove(std::string_view id) override;
  bool wasRemoved(std::string_view id) override { return records_->wasRemoved(id); }
  std::vector<ImageRecord> list(const ImageQuery& query) override { return records_->list(query); }
  std::vector<Tombstone> removedSince(std::int64_t time) override { return records_->removedSince(time); }
  std::size_t pruneTombstones(std::int64_t time) override { return records_->pruneTombstones(time); }
  std::uint64_t storedBytes() override { return records_->storedBytes(); }
  bool readsBlock() const override { return true; }
  std::size_t removeStrayBytes() override;

  // What fsck finds: records whose bytes are not in the bucket, and objects
  // older than `graceSeconds` that no record names (younger ones may belong
  // to an upload whose record is being written).
  struct Check {
    std::vector<std::string> recordsWithoutObject; // ids
    std::vector<std::string> objectsWithoutRecord; // keys
  };
  Check check(std::int64_t graceSeconds);

  ImageRecords& records() { return *recordsView_; }
  ImageStore& recordStore() { return *records_; }
  s3::Client& bucket() { return *bucket_; }

private:
  std::unique_ptr<ImageStore> records_;
  ImageRecords* recordsView_;
  std::shared_ptr<s3::Client> bucket_;
  bool redirect_;
};

// A failure of the bucket as the client is told it (503); `storing` for an upload.
StoreError objectStoreUnavailable(const std::exception& failure, bool storing);

} // namespace glimor::server
