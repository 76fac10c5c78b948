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
  auto image = std::make_shared<StoredImage>();
  {
    std::lock_guard lock(mutex_);
    auto found = index_.find(id);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    const Entry& entry = *found->second;
    *image = StoredImage{entry.id, entry.type, entry.sha256, entry.size, {}, nullptr};
  }
  // Evicted since, or removed by hand: served from the store again.
  try {
    image->reader = FileReader::open(fileOf(id));
  } catch (const Error& failure) {
    logMessage(std::string("disk cache: ") + failure.what());
  }
  if (!image->reader || image->reader->size() != image->size) {
    erase(id);
    return nullptr;
  }
  return image;
}

std::shared_ptr<const StoredImage> DiskImageCache::fill(const StoredImage& image) {
  if (!image.reader || image.size > budget_) return nullptr;
  {
    // One copy at a time per image: the requests that meet one being made
    // are served from the store meanwhile, rather than each copying it again.
    std::lock_guard lock(mutex_);
    if (!filling_.insert(image.id).second) return nullptr;
  }
  std::filesystem::path target = fileOf(image.id);
  try {
    copyInto(image, target);
  } catch (const std::exception& failure) {
    logMessage(std::string("disk cache: ") + failure.what());
    std::lock_guard lock(mutex_);
    filling_.erase(image.id);
    return nullptr;
  }
  {
    std::lock_guard lock(mutex_);
    filling_.erase(image.id);
    // Copied just before by a request that missed it too: the same bytes under the same name.
    if (auto found = index_.find(image.id); found != index_.end()) {
      order_.splice(order_.begin(), order_, found->second);
    } else {
      order_.push_front({image.id, image.type, image.sha256, image.size});
      index_[image.id] = order_.begin();
      used_ += image.size;
    }
    while (used_ > budget_ && order_.size() > 1) forget(std::prev(order_.end()));
    metrics().set("glimor_disk_cache_bytes", {}, static_cast<double>(used_));
  }
  return find(image.id);
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
  metrics().set("glimor_disk_cache_bytes", {}, static_cast<double>(used_));
}

void DiskImageCache::forget(std::list<Entry>::iterator entry) {
  std::error_code ignored; // a file being sent stays readable until it is closed
  std::filesystem::remove(fileOf(entry->id), ignored);
  used_ -= entry->size;
  index_.erase(entry->id);
  order_.erase(entry);
}

std::uint64_t DiskImageCache::usedBytes() {
  std::lock_guard lock(mutex_);
  return used_;
}

} // namespace glimor::server
