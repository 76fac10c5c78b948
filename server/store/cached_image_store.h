#pragma once
#include "image_cache.h"
#include "image_store.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace glimor::server {

// Keeps recently served images of another store in memory (images up to a
// quarter of the budget, least recently used evicted first), so repeated GETs
// reach neither the disk nor the database. An image removed through this
// object leaves the cache at once; one removed by another process on the same
// store (another node, the admin command) leaves it at the next
// forgetRemovedElsewhere(), which the service calls once a second.
class CachedImageStore : public ImageStore {
public:
  CachedImageStore(std::unique_ptr<ImageStore> store, std::size_t cacheBytes = 64 << 20);

  std::string add(const Upload& upload) override { return store_->add(upload); }
  std::shared_ptr<const StoredImage> find(std::string_view id) override;
  std::shared_ptr<const StoredImage> findRecord(std::string_view id) override;
  std::optional<std::string> thumbnail(std::string_view id) override { return store_->thumbnail(id); }
  std::optional<std::string> deletionHash(std::string_view id) override { return store_->deletionHash(id); }
  bool remove(std::string_view id) override;
  bool wasRemoved(std::string_view id) override { return store_->wasRemoved(id); }
  std::vector<ImageRecord> list(const ImageQuery& query) override { return store_->list(query); }
  std::vector<Tombstone> removedSince(std::int64_t time) override { return store_->removedSince(time); }
  std::size_t pruneTombstones(std::int64_t time) override { return store_->pruneTombstones(time); }
  std::uint64_t storedBytes() override { return store_->storedBytes(); }
  bool readsBlock() const override { return store_->readsBlock(); }

  // Evicts the images whose tombstones appeared since the last call.
  void forgetRemovedElsewhere();

private:
  std::unique_ptr<ImageStore> store_;
  ImageCache<StoredImage> cache_;
  std::mutex pollMutex_;
  std::int64_t pollFrom_ = 0;
};

} // namespace glimor::server
