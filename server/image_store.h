#pragma once
#include "database.h"
#include "group_commit.h"
#include "image_cache.h"
#include "image_type.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

struct StoredImage {
  std::string id;
  ImageType type;
  std::string sha256;
  std::string bytes;
};

struct Upload {
  std::string_view bytes;
  ImageType type;
  std::string_view clientAddress;
  std::string_view originalName; // the last component of the client's file name
};

// Images as files under <data>/images/<first two id characters>/<id>.<ext>,
// described by rows of the SQLite index <data>/glimor.db. A file is complete on
// disk before its row is committed, and only images with a row are served, so a
// crash at any point leaves no row without its file and no half-written image
// visible. File names are built from generated ids only, never from a request.
class ImageStore {
public:
  explicit ImageStore(const std::filesystem::path& dataDirectory, std::size_t cacheBytes = 64 << 20);

  // Stores the bytes unchanged under a new id and returns the id. Throws Error.
  std::string add(const Upload& upload);

  // The image with this id, or nothing for an unknown or malformed id.
  std::shared_ptr<const StoredImage> find(std::string_view id);

private:
  std::filesystem::path imagePath(const std::string& id, ImageType type) const;
  void commitBatch(const std::vector<const GroupCommit::Write*>& writes);

  std::filesystem::path images_;
  std::filesystem::path temporary_;
  std::mutex databaseMutex_;
  Database database_;
  Statement insert_;
  Statement select_;
  ImageCache<StoredImage> cache_;
  // Rows of concurrent uploads are committed together, one flush for many.
  GroupCommit commits_;
};

} // namespace glimor::server
