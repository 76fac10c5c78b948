#include "s3_image_store.h"

#include "image_id.h"
#include "platform/error.h"
#include "request_log.h"
#include "sha256.h"
#include "store_error.h"

#include <algorithm>
#include <ctime>
#include <mutex>

namespace glimor::server {
namespace {

// Images up to this size are fetched whole with their record (and may be cached).
constexpr std::uint64_t wholeImageLimit = 256 * 1024;
// A larger image is fetched in ranged GETs of this many bytes while it is sent;
// one of a single block is fetched whole with its record too, but sent like
// the others, in parts and never kept in memory.
constexpr std::uint64_t blockBytes = 4 << 20;
// A presigned link stays valid this long.
constexpr unsigned redirectSeconds = 3600;
// Objects younger than this may belong to an upload whose record is being written.
constexpr std::int64_t strayGraceSeconds = 3600;

std::int64_t now() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

// A large object read in ranged GETs of a block each; the block last fetched
// answers the reads within it, so a send in 256 KiB parts costs one GET per block.
class ObjectBlocks : public BodyReader {
public:
  ObjectBlocks(std::shared_ptr<s3::Client> bucket, std::string key, std::uint64_t size)
      : bucket_(std::move(bucket)), key_(std::move(key)), size_(size) {}

  std::uint64_t size() const override { return size_; }

  std::string read(std::uint64_t offset, std::size_t length) override {
    std::lock_guard lock(mutex_);
    if (offset >= size_) return {};
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    if (offset < blockStart_ || offset + length > blockStart_ + block_.size()) {
      std::uint64_t last = std::min(size_, offset + std::max<std::uint64_t>(length, blockBytes)) - 1;
      std::optional<s3::Reply> reply;
      try {
        reply = bucket_->get(key_, "bytes=" + std::to_string(offset) + "-" + std::to_string(last));
      } catch (const std::exception& failure) {
        throw objectStoreUnavailable(failure, false);
      }
      if (!reply || reply->body.size() != last - offset + 1)
        throw Error("The object " + key_ + " is missing from the bucket or shorter than its record");
      block_ = std::move(reply->body);
      blockStart_ = offset;
    }
    return block_.substr(static_cast<std::size_t>(offset - blockStart_), length);
  }

private:
  std::shared_ptr<s3::Client> bucket_;
  std::string key_;
  std::uint64_t size_;
  std::mutex mutex_;
  std::string block_;
  std::uint64_t blockStart_ = 0;
};

// An object fetched whole, handed out in parts from memory.
class FetchedObject : public BodyReader {
public:
  explicit FetchedObject(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::string read(std::uint64_t offset, std::size_t length) override {
    if (offset >= bytes_.size()) return {};
    return bytes_.substr(static_cast<std::size_t>(offset), length);
  }
  bool inMemory() const override { return true; }

private:
  const std::string bytes_;
};

// The id in an object's key, or nothing for a key of no image.
std::optional<std::string> idOfKey(std::string_view key) {
  std::string_view id;
  if (key.starts_with("images/"))
    id = key.substr(7);
  else if (key.starts_with("thumbnails/") && key.ends_with(".jpg"))
    id = key.substr(11, key.size() - 15);
  else
    return std::nullopt;
  if (!isImageId(id)) return std::nullopt;
  return std::string(id);
}

} // namespace

StoreError objectStoreUnavailable(const std::exception& failure, bool storing) {
  return StoreError(StoreError::Kind::unavailable,
                    storing ? "Object Store Unavailable, nothing was stored" : "Object Store Unavailable",
                    failure.what());
}

S3ImageStore::S3ImageStore(std::unique_ptr<ImageStore> records, std::shared_ptr<s3::Client> bucket,
                           bool redirect)
    : records_(std::move(records)), recordsView_(dynamic_cast<ImageRecords*>(records_.get())),
      bucket_(std::move(bucket)), redirect_(redirect) {
  if (!recordsView_) throw Error("This store cannot keep its images in a bucket");
}

std::string S3ImageStore::add(const Upload& upload) {
  std::string checksum = sha256Hex(upload.bytes);
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string id = newImageId();
    if (recordsView_->recordOnly(id)) continue; // an id drawn twice: draw again
    try {
      bucket_->put(imageKey(id), upload.bytes, upload.type.mimeType, checksum);
      if (!upload.thumbnail.empty()) bucket_->put(thumbnailKey(id), upload.thumbnail, "image/jpeg");
    } catch (const std::exception& failure) {
      logMessage(std::string("s3: upload not stored: ") + failure.what());
      try {
        bucket_->remove(imageKey(id));
      } catch (const std::exception&) {
        // The stray-bytes pass removes it later.
      }
      throw objectStoreUnavailable(failure, true);
    }
    bool added = false;
    try {
      added = recordsView_->addRecordInBucket(id, upload, checksum);
    } catch (...) {
      // No record names the objects: remove them now, or the stray-bytes pass will.
      try {
        bucket_->remove(imageKey(id));
        bucket_->remove(thumbnailKey(id));
      } catch (const std::exception&) {
      }
      throw;
    }
    if (added) return id;
  }
  throw Error("Cannot find a free image id");
}

std::shared_ptr<const StoredImage> S3ImageStore::findRecord(std::string_view id) {
  auto record = recordsView_->recordOnly(id);
  if (!record) return nullptr;
  if (!record->inBucket) return records_->findRecord(id);
  auto image = std::make_shared<StoredImage>();
  image->id = id;
  image->type = record->type;
  image->sha256 = record->sha256;
  image->size = record->size;
  image->reader = std::make_shared<ObjectBlocks>(bucket_, imageKey(id), record->size);
  return image;
}

std::shared_ptr<const StoredImage> S3ImageStore::find(std::string_view id) {
  auto record = recordsView_->recordOnly(id);
  if (!record) return nullptr;
  if (!record->inBucket) return records_->find(id);
  auto image = std::make_shared<StoredImage>();
  image->id = id;
  image->type = record->type;
  image->sha256 = record->sha256;
  image->size = record->size;
  if (redirect_) {
    image->redirect = bucket_->presignedGet(imageKey(id), redirectSeconds, now());
  } else if (record->size <= blockBytes) {
    // One GET, begun before the answer's header goes out rather than after.
    std::optional<s3::Reply> reply;
    try {
      reply = bucket_->get(imageKey(id));
    } catch (const std::exception& failure) {
      throw objectStoreUnavailable(failure, false);
    }
    if (!reply || reply->body.size() != record->size) {
      logMessage("s3: the object of image " + std::string(id) + " is missing or of the wrong size");
      return nullptr;
    }
    if (record->size <= wholeImageLimit)
      image->bytes = std::move(reply->body);
    else
      image->reader = std::make_shared<FetchedObject>(std::move(reply->body));
  } else {
    image->reader = std::make_shared<ObjectBlocks>(bucket_, imageKey(id), record->size);
  }
  return image;
}

std::optional<std::string> S3ImageStore::thumbnail(std::string_view id) {
  auto record = recordsView_->recordOnly(id);
  if (!record) return std::nullopt;
  if (!record->inBucket) return records_->thumbnail(id);
  try {
    auto reply = bucket_->get(thumbnailKey(id));
    if (!reply) return std::nullopt;
    return std::move(reply->body);
  } catch (const std::exception& failure) {
    throw objectStoreUnavailable(failure, false);
  }
}

bool S3ImageStore::remove(std::string_view id) {
  if (!records_->remove(id)) return false;
  // The record went first: a crash or failure here leaves objects no record
  // names, which removeStrayBytes() takes later.
  try {
    bucket_->remove(imageKey(id));
    bucket_->remove(thumbnailKey(id));
  } catch (const std::exception& failure) {
    logMessage("s3: image " + std::string(id) + " removed, its objects left for later: " + failure.what());
  }
  return true;
}

S3ImageStore::Check S3ImageStore::check(std::int64_t graceSeconds) {
  Check found;
  std::int64_t youngest = now() - graceSeconds;
  for (std::string_view prefix : {"images/", "thumbnails/"})
    bucket_->list(prefix, [&](std::string_view key, std::uint64_t, std::int64_t modified) {
      auto id = idOfKey(key);
      if (modified > youngest) return;
      if (!id || !recordsView_->recordOnly(*id)) found.objectsWithoutRecord.emplace_back(key);
    });
  std::string after;
  for (;;) {
    auto ids = recordsView_->idsAfter(after, true, 1000);
    for (const std::string& id : ids)
      if (!bucket_->head(imageKey(id))) found.recordsWithoutObject.push_back(id);
    if (ids.size() < 1000) break;
    after = ids.back();
  }
  return found;
}

std::size_t S3ImageStore::removeStrayBytes() {
  std::size_t removed = 0;
  std::int64_t youngest = now() - strayGraceSeconds;
  for (std::string_view prefix : {"images/", "thumbnails/"}) {
    std::vector<std::string> strays;
    bucket_->list(prefix, [&](std::string_view key, std::uint64_t, std::int64_t modified) {
      auto id = idOfKey(key);
      if (id && modified <= youngest && !recordsView_->recordOnly(*id)) strays.emplace_back(key);
    });
    for (const std::string& key : strays) {
      bucket_->remove(key);
      ++removed;
    }
  }
  return removed;
}

} // namespace glimor::server
