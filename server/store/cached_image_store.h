#pragma once
#include "disk_image_cache.h"
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
// forgetRemovedElsewhere(), which the service calls once a second. Larger
// images in files (SQLite's, or copies in the disk cache) are kept open, up to
// `openFileCount` of them, and forgotten the same way. With a
// disk cache, the images too large for memory are copied there on their first
// read and served from the copy after that; removals leave it the same way,
// and a copy the disk cache evicts is no longer kept open here.
class CachedImageStore : public ImageStore {
public:
  // Images in files kept open at most, and so descriptors held besides connections.
  static constexpr std::size_t openFileCount = 64;

  CachedImageStore(std::unique_ptr<ImageStore> store, std::size_t cacheBytes = 64 << 20,
                   std::unique_ptr<DiskImageCache> disk = nullptr);

  std::string add(const Upload& upload) override;
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
  std::size_t removeStrayBytes() override { return store_->removeStrayBytes(); }

  // Evicts the images whose tombstones appeared since the last call.
  void forgetRemovedElsewhere();

private:
  std::unique_ptr<ImageStore> store_;
  void keepOpen(const std::string& id, const std::shared_ptr<const StoredImage>& image);

  ImageCache<StoredImage> cache_;
  ImageCache<StoredImage> openFiles_; // images in files, their descriptors open; one unit each
  std::unique_ptr<DiskImageCache> disk_;
  std::mutex pollMutex_;
  std::int64_t pollFrom_ = 0;
};

} // namespace glimor::server
