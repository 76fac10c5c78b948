#pragma once
#include "file_reader.h"
#include "image_store.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace glimor::server {

// Image bytes of a store on another machine (PostgreSQL), kept as files in a
// folder of this node so that they are served like the SQLite store's files,
// straight from the page cache. Images never change, so a copy stays right
// until the image is removed; the files together stay within a byte budget,
// the least recently used going first. A copy evicted while a reader still has
// it open keeps its bytes on disk after its unlink, so it counts against the
// budget until its last reader closes it; readers of one copy share one
// descriptor. The folder is this node's alone: its copies are removed at
// start, since removals made meanwhile were not seen. Thread-safe.
class DiskImageCache {
public:
  // Throws Error when the folder cannot be made or emptied.
  DiskImageCache(std::filesystem::path folder, std::uint64_t budgetBytes);

  // The image served from its copy; nothing when there is none.
  std::shared_ptr<const StoredImage> find(const std::string& id);

  // Copies an image read from the store (through its reader) into a file of
  // the cache and returns it served from there; nothing when it is larger than
  // the budget, when evicted copies still being read leave no room for it, or
  // when it cannot be copied (logged): the caller then serves it as it is.
  std::shared_ptr<const StoredImage> fill(const StoredImage& image);

  void erase(const std::string& id);

  // Called with each id whose copy leaves the cache, so that whoever keeps
  // that copy open for later requests lets it go. It runs with the cache's
  // lock held, so it must not call back into the cache.
  void setOnForget(std::function<void(const std::string& id)> onForget);

  // Bytes of the cache on disk: its copies, those being made, and the copies
  // evicted but still open for a reader.
  std::uint64_t usedBytes();

private:
  struct Entry {
    std::string id;
    ImageType type;
    std::string sha256;
    std::uint64_t size = 0;
    std::weak_ptr<FileReader> open; // the descriptor its readers share
  };
  struct OpenAfterEviction {
    std::weak_ptr<FileReader> open;
    std::uint64_t size = 0;
  };

  std::filesystem::path fileOf(const std::string& id) const { return folder_ / id; }
  void copyInto(const StoredImage& image, const std::filesystem::path& target);
  // These three with mutex_ held.
  void forget(std::list<Entry>::iterator entry);
  bool makeRoom(std::uint64_t bytes);
  void releaseClosed();

  std::filesystem::path folder_;
  std::uint64_t budget_;
  std::mutex mutex_;
  std::list<Entry> order_; // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
  std::unordered_set<std::string> filling_; // ids being copied now, their room held
  std::vector<OpenAfterEviction> evictedOpen_;
  std::function<void(const std::string&)> onForget_;
  std::uint64_t used_ = 0; // as usedBytes()
};

} // namespace glimor::server
