#pragma once
#include "cached_image_store.h"

#include <functional>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace glimor::server {

// The service's background work on its image store, on a thread of its own
// since each step may wait for the database: once a second the cache forgets
// images removed by other processes and `eachSecond` runs (the service
// measures what the store holds, for --max-store); with an expiry, once a minute the images older than
// it are removed (a batch at a time, each with its tombstone); once an hour
// bytes no record names (a bucket's objects a crash left) are removed.
class Housekeeping {
public:
  Housekeeping(CachedImageStore& images, std::optional<unsigned> expireAfterDays,
               std::function<void()> eachSecond = nullptr);
  ~Housekeeping(); // stops the thread and waits for it
  Housekeeping(const Housekeeping&) = delete;
  Housekeeping& operator=(const Housekeeping&) = delete;

private:
  void run();
  void removeExpired();
  void pruneTombstones();
  void removeStrayBytes();

  CachedImageStore& images_;
  std::function<void()> eachSecond_;
  std::optional<unsigned> expireAfterDays_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

} // namespace glimor::server
