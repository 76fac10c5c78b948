#include "cached_image_store.h"

#include "metrics.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace glimor::server {
namespace {

// Tombstones are read again for this long after they were laid: a removal
// whose transaction committed late, or an image that a read in flight put into
// the cache just after its tombstone was seen, is still evicted.
constexpr std::int64_t lookBackSeconds = 30;

// Runs one call of the store underneath, timed for the metrics, failed or not.
template <typename Call> auto timed(std::string_view operation, Call&& call) {
  struct Clock {
    std::string_view operation;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~Clock() {
      std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      metrics().storeDuration.observe({{"operation", operation}}, took.count());
    }
  } clock{operation};
  return call();
}

void noteLookup(std::string_view cache, bool hit) {
  metrics().cacheLookups.add({{"cache", cache}, {"result", hit ? "hit" : "miss"}});
}

} // namespace

// The cache starts empty, so tombstones laid before it need not be read.
CachedImageStore::CachedImageStore(std::unique_ptr<ImageStore> store, std::size_t cacheBytes,
                                   std::unique_ptr<DiskImageCache> disk)
    : store_(std::move(store)), cache_(cacheBytes), openFiles_(openFileCount), disk_(std::move(disk)),
      pollFrom_(static_cast<std::int64_t>(std::time(nullptr)) - lookBackSeconds) {
  // A copy the disk cache evicts is closed here too, so that its bytes leave
  // the disk once the requests sending it are done.
  if (disk_) disk_->setOnForget([this](const std::string& id) { openFiles_.erase(id); });
}

std::string CachedImageStore::add(const Upload& upload) {
  std::string id = timed("add", [&] { return store_->add(upload); });
  metrics().uploads.add();
  metrics().uploadBytes.add({}, static_cast<double>(upload.bytes.size()));
  return id;
}

std::shared_ptr<const StoredImage> CachedImageStore::find(std::string_view id) {
  std::string key(id);
  auto cached = cache_.get(key);
  noteLookup("memory", cached != nullptr);
  if (cached) return cached;
  auto open = openFiles_.get(key);
  noteLookup("open_file", open != nullptr);
  if (open) return open;
  std::shared_ptr<const StoredImage> image;
  if (disk_) {
    image = disk_->find(key);
    noteLookup("disk", image != nullptr);
  }
  if (!image) image = timed("find", [&] { return store_->find(id); });
  // Only images held whole are kept in memory; a larger one is read in parts
  // each time, or copied to the disk cache once.
  // A redirect expires, so it is never kept.
  if (image && !image->redirect.empty()) return image;
  if (image && !image->reader) cache_.put(key, image, image->bytes.size());
  if (image && image->reader && image->reader->descriptor() < 0 && disk_)
    if (auto copy = disk_->fill(*image)) image = copy;
  keepOpen(key, image);
  return image;
}

// An image in a file stays open for the next request, which then needs
// neither the record nor an open(); sends share the descriptor, each at its
// own offset.
void CachedImageStore::keepOpen(const std::string& id, const std::shared_ptr<const StoredImage>& image) {
  if (image && image->reader && image->reader->descriptor() >= 0) openFiles_.put(id, image, 1);
}

std::shared_ptr<const StoredImage> CachedImageStore::findRecord(std::string_view id) {
  if (auto cached = cache_.get(std::string(id))) return cached;
  if (auto open = openFiles_.get(std::string(id))) return open;
  if (disk_)
    if (auto copy = disk_->find(std::string(id))) return copy;
  return timed("find_record", [&] { return store_->findRecord(id); });
}

bool CachedImageStore::remove(std::string_view id) {
  bool removed = timed("remove", [&] { return store_->remove(id); });
  cache_.erase(std::string(id));
  openFiles_.erase(std::string(id));
  if (disk_) disk_->erase(std::string(id));
  return removed;
}

void CachedImageStore::forgetRemovedElsewhere() {
  std::lock_guard lock(pollMutex_);
  std::int64_t latest = pollFrom_;
  for (const Tombstone& tombstone : store_->removedSince(pollFrom_)) {
    cache_.erase(tombstone.id);
    openFiles_.erase(tombstone.id);
    if (disk_) disk_->erase(tombstone.id);
    latest = std::max(latest, tombstone.removedAt);
  }
  pollFrom_ = std::max(pollFrom_, latest - lookBackSeconds);
}

} // namespace glimor::server
