#include "disk_image_cache.h"

#include "file_reader.h"
#include "image_id.h"
#include "metrics.h"
#include "platform/error.h"
#include "request_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace glimor::server {
namespace {

constexpr std::size_t copyPart = 256 * 1024;
constexpr std::string_view partialSuffix = ".part";

// A copy of ours or one left half-written: "ID" or "ID.partXXXXXX".
bool isCacheFile(const std::string& name) {
  std::size_t dot = name.find('.');
  return isImageId(std::string_view(name).substr(0, dot)) &&
         (dot == std::string::npos || std::string_view(name).substr(dot).starts_with(partialSuffix));
}

} // namespace

DiskImageCache::DiskImageCache(std::filesystem::path folder, std::uint64_t budgetBytes)
    : folder_(std::move(folder)), budget_(budgetBytes) {
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) throw Error("--cache-dir: cannot create \"" + folder_.string() + "\": " + error.message());
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error))
    if (entry.is_regular_file() && isCacheFile(entry.path().filename().string()))
      std::filesystem::remove(entry.path(), error);
  if (error) throw Error("--cache-dir: cannot empty \"" + folder_.string() + "\": " + error.message());
}

std::shared_ptr<const StoredImage> DiskImageCache::find(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto found = index_.find(id);
  if (found == index_.end()) return nullptr;
  order_.splice(order_.begin(), order_, found->second);
  Entry& entry = *found->second;
  std::shared_ptr<FileReader> reader = entry.open.lock();
  if (!reader) {
    try {
      reader = FileReader::open(fileOf(id));
    } catch (const Error& failure) {
      logMessage(std::string("disk cache: ") + failure.what());
    }
  }
  // Evicted since, or removed by hand: served from the store again.
  if (!reader || reader->size() != entry.size) {
    forget(found->second);
    metrics().diskCacheBytes.set({}, static_cast<double>(used_));
    return nullptr;
  }
  entry.open = reader;
  return std::make_shared<StoredImage>(
      StoredImage{entry.id, entry.type, entry.sha256, entry.size, {}, reader, {}});
}

std::shared_ptr<const StoredImage> DiskImageCache::fill(const StoredImage& image) {
  if (!image.reader || image.size > budget_) return nullptr;
  {
    std::unique_lock lock(mutex_);
    // Copied just before by a request that missed it too.
    if (index_.contains(image.id)) {
      lock.unlock();
      return find(image.id);
    }
    // One copy at a time per image: the requests that meet one being made
    // are served from the store meanwhile, rather than each copying it again.
    if (filling_.contains(image.id) || !makeRoom(image.size)) return nullptr;
    filling_.insert(image.id);
    used_ += image.size; // held while copying, so copies made at once stay within the budget
  }
  std::filesystem::path target = fileOf(image.id);
  try {
    copyInto(image, target);
  } catch (const std::exception& failure) {
    logMessage(std::string("disk cache: ") + failure.what());
    std::lock_guard lock(mutex_);
    filling_.erase(image.id);
    used_ -= image.size;
    return nullptr;
  }
  {
    std::lock_guard lock(mutex_);
    filling_.erase(image.id);
    order_.push_front({image.id, image.type, image.sha256, image.size, {}});
    index_[image.id] = order_.begin();
    metrics().diskCacheBytes.set({}, static_cast<double>(used_));
  }
  return find(image.id);
}

// Evicts the least recently used copies until `bytes` more fit; false when
// they cannot, since evicted copies still being read hold the room.
bool DiskImageCache::makeRoom(std::uint64_t bytes) {
  releaseClosed();
  while (used_ + bytes > budget_ && !order_.empty()) forget(std::prev(order_.end()));
  return used_ + bytes <= budget_;
}

void DiskImageCache::releaseClosed() {
  std::erase_if(evictedOpen_, [this](const OpenAfterEviction& copy) {
    if (!copy.open.expired()) return false;
    used_ -= copy.size;
    return true;
  });
}

// Written under a temporary name and renamed, so a copy is whole or absent.
void DiskImageCache::copyInto(const StoredImage& image, const std::filesystem::path& target) {
  std::string name = target.string() + std::string(partialSuffix) + "XXXXXX";
  int file = ::mkstemp(name.data()); // mode 0600
  if (file < 0) throw Error("cannot create a file in \"" + folder_.string() + "\": " + std::strerror(errno));
  try {
    for (std::uint64_t offset = 0; offset < image.size;) {
      auto length = static_cast<std::size_t>(std::min<std::uint64_t>(copyPart, image.size - offset));
      std::string part = image.reader->read(offset, length);
      if (part.size() != length) throw Error("image " + image.id + " ended early");
      for (std::size_t done = 0; done < part.size();) {
        ssize_t n = ::write(file, part.data() + done, part.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Error("cannot write \"" + name + "\": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
      }
      offset += length;
    }
  } catch (...) {
    ::close(file);
    ::unlink(name.c_str());
    throw;
  }
  if (::close(file) != 0 || ::rename(name.c_str(), target.c_str()) != 0) {
    int cause = errno;
    ::unlink(name.c_str());
    throw Error("cannot keep \"" + target.string() + "\": " + std::strerror(cause));
  }
}

void DiskImageCache::erase(const std::string& id) {
  std::lock_guard lock(mutex_);
  if (auto found = index_.find(id); found != index_.end()) forget(found->second);
  metrics().diskCacheBytes.set({}, static_cast<double>(used_));
}

void DiskImageCache::setOnForget(std::function<void(const std::string& id)> onForget) {
  std::lock_guard lock(mutex_);
  onForget_ = std::move(onForget);
}

// The file is unlinked at once, but its bytes stay on disk until its last
// reader closes it: they are counted until then.
void DiskImageCache::forget(std::list<Entry>::iterator entry) {
  std::error_code ignored;
  std::filesystem::remove(fileOf(entry->id), ignored);
  if (onForget_) onForget_(entry->id);
  if (entry->open.expired())
    used_ -= entry->size;
  else
    evictedOpen_.push_back({entry->open, entry->size});
  index_.erase(entry->id);
  order_.erase(entry);
}

std::uint64_t DiskImageCache::usedBytes() {
  std::lock_guard lock(mutex_);
  releaseClosed();
  return used_;
}

} // namespace glimor::server
