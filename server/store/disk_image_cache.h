#pragma once
#include "image_store.h"

#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace glimor::server {

// Image bytes of a store on another machine (PostgreSQL), kept as files in a
// folder of this node so that they are served like the SQLite store's files,
// straight from the page cache. Images never change, so a copy stays right
// until the image is removed; the files together stay within a byte budget,
// the least recently used going first. The folder is this node's alone: its
// copies are removed at start, since removals made meanwhile were not seen.
// Thread-safe.
class DiskImageCache {
public:
  // Throws Error when the folder cannot be made or emptied.
  DiskImageCache(std::filesystem::path folder, std::uint64_t budgetBytes);

  // The image served from its copy; nothing when there is none.
  std::shared_ptr<const StoredImage> find(const std::string& id);

  // Copies an image read from the store (through its reader) into a file of
  // the cache and returns it served from there; nothing when it is larger than
  // the budget or cannot be copied (logged), when the caller serves it as it is.
  std::shared_ptr<const StoredImage> fill(const StoredImage& image);

  void erase(const std::string& id);

  std::uint64_t usedBytes();

private:
  struct Entry {
    std::string id;
    ImageType type;
    std::string sha256;
    std::uint64_t size = 0;
  };

  std::filesystem::path fileOf(const std::string& id) const { return folder_ / id; }
  void copyInto(const StoredImage& image, const std::filesystem::path& target);
  void forget(std::list<Entry>::iterator entry); // with mutex_ held

  std::filesystem::path folder_;
  std::uint64_t budget_;
  std::mutex mutex_;
  std::list<Entry> order_; // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
  std::unordered_set<std::string> filling_; // ids being copied now
  std::uint64_t used_ = 0;
};

} // namespace glimor::server
