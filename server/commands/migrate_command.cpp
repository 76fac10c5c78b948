#include "migrate_command.h"

#include "platform/error.h"
#include "s3_image_store.h"
#include "store_command.h"
#include "store_opening.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace glimor::server {
namespace {

constexpr std::string_view migrateUsage =
    "usage: glimor-server store migrate (--to-s3 | --from-s3) STORE --s3 http[s]://HOST[:PORT] --s3-bucket "
    "NAME\n"
    "                                   [--s3-region R] [--s3-virtual-host] [--s3-credentials FILE] [--jobs "
    "N]\n"
    "STORE: --data DIR or --database postgresql://...\n"
    "Moves every image's bytes and thumbnail into the bucket (--to-s3) or back into the store (--from-s3),\n"
    "N at a time (4), while the service may run with --s3; run it again to resume an interrupted move.\n";

struct MigrateRequest {
  bool toBucket = true;
  bool directionGiven = false;
  unsigned jobs = 4;
  StoreLocation store;
};

MigrateRequest parseMigrate(std::span<const std::string_view> arguments) {
  if (arguments.empty() || arguments[0] != "migrate") throw Error("store needs migrate");
  MigrateRequest request;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string_view flag = arguments[i];
    if (takeStoreFlag(arguments, i, request.store)) continue;
    if (flag == "--to-s3" || flag == "--from-s3") {
      if (request.directionGiven) throw Error("--to-s3 and --from-s3 exclude each other");
      request.directionGiven = true;
      request.toBucket = flag == "--to-s3";
    } else if (flag == "--jobs" && i + 1 < arguments.size()) {
      std::string text(arguments[++i]);
      char* end = nullptr;
      long jobs = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || jobs < 1 || jobs > 64)
        throw Error("--jobs: \"" + text + "\" is not 1 to 64");
      request.jobs = static_cast<unsigned>(jobs);
    } else {
      throw Error("store migrate: unexpected argument \"" + std::string(flag) + "\"");
    }
  }
  if (!request.directionGiven) throw Error("store migrate needs --to-s3 or --from-s3");
  requireOneStore(request.store, "store migrate");
  if (!request.store.s3) throw Error("store migrate needs the bucket: --s3 ENDPOINT --s3-bucket NAME");
  return request;
}

std::string wholeImage(const StoredImage& image) {
  if (!image.reader) return image.bytes;
  // Only what is left is asked for: a reader makes room for all it is asked.
  std::string bytes;
  while (bytes.size() < image.size) {
    auto length = static_cast<std::size_t>(std::min<std::uint64_t>(image.size - bytes.size(), 4 << 20));
    std::string part = image.reader->read(bytes.size(), length);
    if (part.empty()) throw Error("image " + image.id + " is shorter than its record");
    if (bytes.empty() && part.size() == image.size) return part;
    bytes.reserve(image.size);
    bytes += part;
  }
  return bytes;
}

// Copies one image into the bucket, then points its record there, which drops
// the old copy. Returns the bytes moved (none for an image removed meanwhile).
std::uint64_t moveIntoBucket(S3ImageStore& images, const std::string& id) {
  auto image = images.recordStore().find(id);
  if (!image) throw Error("image " + id + " has no bytes in the store");
  std::string bytes = wholeImage(*image);
  std::optional<std::string> thumbnail = images.recordStore().thumbnail(id);
  // Signed with the hash its record keeps: bytes changed on the disk since are refused by the store.
  images.bucket().put(S3ImageStore::imageKey(id), bytes, image->type.mimeType, image->sha256);
  if (thumbnail) images.bucket().put(S3ImageStore::thumbnailKey(id), *thumbnail, "image/jpeg");
  return images.records().markInBucket(id) ? image->size : 0;
}

// Copies one image out of the bucket into the store, then removes its objects.
// Returns the bytes moved (none for an image removed meanwhile).
std::uint64_t moveOutOfBucket(S3ImageStore& images, const std::string& id) {
  auto record = images.records().recordOnly(id);
  if (!record) return 0; // removed meanwhile
  auto bytes = images.bucket().get(S3ImageStore::imageKey(id));
  if (!bytes || bytes->body.size() != record->size)
    throw Error("the object of image " + id + " is missing from the bucket or of the wrong size");
  auto thumbnail = images.bucket().get(S3ImageStore::thumbnailKey(id));
  if (!images.records().keepHere(id, bytes->body, thumbnail ? std::string_view(thumbnail->body) : ""))
    return 0;
  images.bucket().remove(S3ImageStore::imageKey(id));
  images.bucket().remove(S3ImageStore::thumbnailKey(id));
  return record->size;
}

int run(const MigrateRequest& request) {
  OpenedStores stores = openStores(request.store.dataDirectory, request.store.database, request.store.s3);
  auto& images = dynamic_cast<S3ImageStore&>(*stores.images);
  // The images to move: those whose bytes are on the other side now.
  bool fromBucket = !request.toBucket;
  std::vector<std::string> ids;
  for (std::string after;;) {
    auto page = images.records().idsAfter(after, fromBucket, 10000);
    ids.insert(ids.end(), page.begin(), page.end());
    if (page.size() < 10000) break;
    after = page.back();
  }
  std::atomic<std::size_t> next{0}, moved{0}, failed{0};
  std::atomic<std::uint64_t> bytes{0};
  std::mutex output;
  std::condition_variable allDone;
  auto work = [&] {
    for (std::size_t i; (i = next++) < ids.size();) {
      try {
        bytes += request.toBucket ? moveIntoBucket(images, ids[i]) : moveOutOfBucket(images, ids[i]);
        ++moved;
      } catch (const std::exception& failure) {
        ++failed;
        std::lock_guard lock(output);
        std::fprintf(stderr, "glimor-server store migrate: %s not moved: %s\n", ids[i].c_str(),
                     failure.what());
      }
      if (moved + failed == ids.size()) {
        std::lock_guard lock(output); // so the wait below cannot miss it
        allDone.notify_all();
      }
    }
  };
  auto start = std::chrono::steady_clock::now();
  auto seconds = [&] {
    return std::max(1e-3, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < request.jobs; ++j) workers.emplace_back(work);
  // Progress once a second while the workers run; the last image ends the wait.
  {
    std::unique_lock lock(output);
    while (!allDone.wait_for(lock, std::chrono::seconds(1), [&] { return moved + failed == ids.size(); }))
      std::fprintf(stderr, "moved %zu of %zu images, %.1f MB, %.1f MB/s\n", moved.load(), ids.size(),
                   double(bytes.load()) / 1e6, double(bytes.load()) / 1e6 / seconds());
  }
  for (auto& worker : workers) worker.join();
  std::printf("%zu images moved %s the bucket (%.1f MB in %.1f s, %.1f MB/s), %zu failed\n", moved.load(),
              request.toBucket ? "into" : "out of", double(bytes.load()) / 1e6, seconds(),
              double(bytes.load()) / 1e6 / seconds(), failed.load());
  return failed ? 1 : 0;
}

} // namespace

int runStoreMigrateCommand(std::span<const std::string_view> arguments) {
  return runStoreCommand("store", migrateUsage, arguments, parseMigrate, run);
}

} // namespace glimor::server
