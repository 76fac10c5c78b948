#pragma once
#include "database.h"
#include "disk_reserve.h"
#include "group_commit.h"
#include "image_store.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// Images as files under <data>/images/<first two id characters>/<id>.<ext>
// (and their thumbnails beside them as <id>.thumb.jpg),
// described by rows of the SQLite index <data>/glimor.db. A file is complete on
// disk before its row is committed, and only images with a row are served, so a
// crash at any point leaves no row without its file and no half-written image
// visible. File names are built from generated ids only, never from a request.
// Several processes may open the same folder (the service and the admin
// command); SQLite serialises their writes.
class SqliteImageStore : public ImageStore, public ImageRecords {
public:
  explicit SqliteImageStore(const std::filesystem::path& dataDirectory);

  // Deletes the left-overs of uploads a crash interrupted; they were never
  // recorded. Only the service calls it, at start, before it takes uploads.
  static void removeUnfinishedUploads(const std::filesystem::path& dataDirectory);

  std::string add(const Upload& upload) override;
  std::shared_ptr<const StoredImage> find(std::string_view id) override;
  std::optional<std::string> thumbnail(std::string_view id) override;
  std::optional<std::string> deletionHash(std::string_view id) override;
  bool remove(std::string_view id) override;
  bool wasRemoved(std::string_view id) override;
  std::vector<ImageRecord> list(const ImageQuery& query) override;
  std::vector<Tombstone> removedSince(std::int64_t time) override;
  std::size_t pruneTombstones(std::int64_t time) override;
  std::uint64_t storedBytes() override;

  bool addRecordInBucket(std::string_view id, const Upload& upload, std::string_view sha256) override;
  std::optional<ImageRecordOnly> recordOnly(std::string_view id) override;
  std::vector<std::string> idsAfter(std::string_view after, bool inBucket, std::size_t limit) override;
  bool markInBucket(std::string_view id) override;
  bool keepHere(std::string_view id, std::string_view bytes, std::string_view thumbnail) override;

private:
  std::filesystem::path imagePath(const std::string& id, ImageType type) const;
  // Beside the image: <id>.thumb.jpg.
  std::filesystem::path thumbnailPath(const std::string& id) const;
  void commitBatch(const std::vector<const GroupCommit::Write*>& writes);

  std::filesystem::path images_;
  std::filesystem::path temporary_;
  DiskReserve reserve_;
  std::mutex databaseMutex_; // writes
  Database database_;
  Statement insert_;
  // Reads on a connection of their own: in WAL mode they never wait for a
  // write lock, so answers do not queue behind a write that waits for one.
  std::mutex readerMutex_;
  Database reader_;
  Statement select_;
  // Rows of concurrent uploads are committed together, one flush for many.
  GroupCommit commits_;
};

} // namespace glimor::server
