#pragma once
#include "http_types.h"
#include "image_type.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// An image as the handlers serve it: its record, and either its bytes or, for
// an image too large to hold at once, a reader that hands them out in parts
// and reads nothing until asked, so HEAD and 304 answers read no image.
struct StoredImage {
  std::string id;
  ImageType type;
  std::string sha256;
  std::uint64_t size = 0;
  std::string bytes;
  std::shared_ptr<BodyReader> reader; // set instead of `bytes`
  // Where a GET is sent instead (a presigned URL of the object store); the
  // record's fields are set, neither bytes nor reader.
  std::string redirect;
};

struct Upload {
  std::string_view bytes;
  ImageType type;
  std::string_view clientAddress;
  std::string_view originalName;           // the last component of the client's file name
  std::string_view tokenName;              // the name of the upload token used; empty when anonymous
  std::string_view deletionHash;           // deletionSecretHash() of the upload's deletion secret
  std::string_view thumbnail;              // the JPEG shown for it in lists; empty: none
  std::optional<std::uint64_t> durationMs; // how long a recording plays; nothing for a still picture
  std::uint32_t width = 0, height = 0;     // in pixels (a GIF's logical screen)
};

// What the operator sees of a stored image.
struct ImageRecord {
  std::string id;
  ImageType type;
  std::uint64_t size = 0;
  std::int64_t createdAt = 0; // seconds since 1970, UTC
  std::string clientAddress;
  std::string tokenName;                   // empty for an anonymous upload
  std::optional<std::uint64_t> durationMs; // a recording's; nothing for a still picture
  std::uint32_t width = 0, height = 0;     // in pixels; 0 for images stored before sizes were kept
};

// A stored duration, where -1 stands for none.
inline std::optional<std::uint64_t> durationOf(std::int64_t stored) {
  if (stored < 0) return std::nullopt;
  return std::uint64_t(stored);
}

// Which images list() returns: those that match every field set, oldest first
// (or newest first, in the order they were stored), after skipping `offset` of them.
struct ImageQuery {
  std::optional<std::string> id;
  std::optional<std::string> clientAddress;
  std::optional<std::string> tokenName;
  std::int64_t createdFrom = std::numeric_limits<std::int64_t>::min(); // inclusive
  std::int64_t createdBefore = std::numeric_limits<std::int64_t>::max();
  std::int64_t limit = std::numeric_limits<std::int64_t>::max();
  std::int64_t offset = 0;
  bool newestFirst = false;
};

// An image removed from the store, kept so its link answers 410 and so other
// processes on the same store learn to forget it.
struct Tombstone {
  std::string id;
  std::int64_t removedAt = 0; // seconds since 1970, by the store's clock
};

// Where images are kept. An upload is answered only after add() returns, so
// add() returns only once the bytes and their record are durable together;
// find() serves only images whose bytes and record are both complete. Every
// method throws Error, or Refusal when the store cannot be reached.
class ImageStore {
public:
  virtual ~ImageStore() = default;

  // Stores the bytes unchanged under a new id and returns the id.
  virtual std::string add(const Upload& upload) = 0;

  // The image with this id, or nothing for an unknown or malformed id.
  virtual std::shared_ptr<const StoredImage> find(std::string_view id) = 0;

  // The same for HEAD and conditional requests, which need the record only: a
  // store that would fetch bytes with the record may hand out a reader instead.
  virtual std::shared_ptr<const StoredImage> findRecord(std::string_view id) { return find(id); }

  // The thumbnail stored with the image; nothing for an unknown id, or an
  // image stored without one.
  virtual std::optional<std::string> thumbnail(std::string_view id) = 0;

  // The stored hash of the image's deletion secret; nothing for an unknown id
  // or an image stored without one.
  virtual std::optional<std::string> deletionHash(std::string_view id) = 0;

  // Removes bytes and record at once and leaves a tombstone; false when there
  // was no such image (never stored, or removed already).
  virtual bool remove(std::string_view id) = 0;

  // True when an image of this id was removed.
  virtual bool wasRemoved(std::string_view id) = 0;

  virtual std::vector<ImageRecord> list(const ImageQuery& query) = 0;

  // Tombstones laid at `time` or later, by any process on this store.
  virtual std::vector<Tombstone> removedSince(std::int64_t time) = 0;
  // Forgets the tombstones laid before `time` (seconds since 1970); returns
  // how many. Their links then answer 404 instead of 410.
  virtual std::size_t pruneTombstones(std::int64_t time) = 0;
  // The bytes of every stored image together, for --max-store.
  virtual std::uint64_t storedBytes() = 0;

  // True when find() waits for another machine, so reads must not run on the
  // threads that move bytes.
  virtual bool readsBlock() const { return false; }

  // Removes stored bytes that no record names any more (left by a crash
  // between writing them and the record); returns how many. Only stores that
  // keep bytes apart from records have any.
  virtual std::size_t removeStrayBytes() { return 0; }
};

// A record as a store whose bytes live elsewhere (an S3 bucket) reads it.
struct ImageRecordOnly {
  ImageType type;
  std::string sha256;
  std::uint64_t size = 0;
  bool inBucket = false; // the bytes are in the bucket, not in this store
};

// What the SQLite and PostgreSQL stores offer a store that keeps the bytes in
// a bucket: records written under an id it drew, and the move of an image's
// bytes between this store and the bucket, one image at a time.
class ImageRecords {
public:
  virtual ~ImageRecords() = default;
  // Writes the record of an image whose bytes are in the bucket; false when
  // the id is taken.
  virtual bool addRecordInBucket(std::string_view id, const Upload& upload, std::string_view sha256) = 0;
  virtual std::optional<ImageRecordOnly> recordOnly(std::string_view id) = 0;
  // Up to `limit` ids after `after` (in id order) whose bytes are (or are not) in the bucket.
  virtual std::vector<std::string> idsAfter(std::string_view after, bool inBucket, std::size_t limit) = 0;
  // The bytes are in the bucket now: the record says so and this store's
  // copies go. False when the record is gone.
  virtual bool markInBucket(std::string_view id) = 0;
  // The bytes (and thumbnail, may be empty) are back in this store, durably,
  // and the record says so. False when the record is gone.
  virtual bool keepHere(std::string_view id, std::string_view bytes, std::string_view thumbnail) = 0;
};

} // namespace glimor::server
