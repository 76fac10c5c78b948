#include "housekeeping.h"

#include "request_log.h"

#include <ctime>
#include <exception>
#include <string>

namespace glimor::server {
namespace {

constexpr auto pollInterval = std::chrono::seconds(1);
constexpr int expiryEveryPolls = 60;
// Objects of a bucket that no record names are looked for once an hour (it
// lists the whole bucket), the first time a minute after the start.
constexpr int strayBytesEveryPolls = 3600;
// Images listed and removed at a time, so a long backlog never holds the store for long.
constexpr std::int64_t expiryBatch = 1000;
// Tombstones are kept this long without --expire-after: long enough for every
// node and every cache to have seen them.
constexpr unsigned tombstoneDays = 30;

} // namespace

Housekeeping::Housekeeping(CachedImageStore& images, std::optional<unsigned> expireAfterDays,
                           std::function<void()> eachSecond)
    : images_(images), eachSecond_(std::move(eachSecond)), expireAfterDays_(expireAfterDays),
      thread_([this] { run(); }) {}

Housekeeping::~Housekeeping() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void Housekeeping::run() {
  std::string lastFailure;
  for (int poll = 0;; ++poll) {
    try {
      images_.forgetRemovedElsewhere();
      if (eachSecond_) eachSecond_();
      if (poll % expiryEveryPolls == 0) {
        if (expireAfterDays_) removeExpired();
        pruneTombstones();
      }
      if (poll % strayBytesEveryPolls == 60) removeStrayBytes();
      lastFailure.clear();
    } catch (const std::exception& failure) {
      // The store's outage is logged once, not every second.
      if (failure.what() != lastFailure) logMessage(std::string("housekeeping: ") + failure.what());
      lastFailure = failure.what();
    }
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, pollInterval, [this] { return stopping_; })) return;
  }
}

void Housekeeping::pruneTombstones() {
  std::int64_t days = expireAfterDays_.value_or(tombstoneDays);
  std::size_t pruned = images_.pruneTombstones(static_cast<std::int64_t>(std::time(nullptr)) - days * 86400);
  if (pruned > 0)
    logMessage("pruned " + std::to_string(pruned) + " tombstones older than " + std::to_string(days) +
               " days");
}

void Housekeeping::removeStrayBytes() {
  if (std::size_t removed = images_.removeStrayBytes())
    logMessage("removed " + std::to_string(removed) + " stored objects that no image record names");
}

void Housekeeping::removeExpired() {
  ImageQuery expired;
  expired.createdBefore =
      static_cast<std::int64_t>(std::time(nullptr)) - std::int64_t(*expireAfterDays_) * 86400;
  expired.limit = expiryBatch;
  int removed = 0;
  for (int batch = 0; batch < 60; ++batch) {
    auto records = images_.list(expired);
    for (const ImageRecord& record : records) removed += images_.remove(record.id);
    if (static_cast<std::int64_t>(records.size()) < expiryBatch) break;
  }
  if (removed > 0)
    logMessage("expiry: removed " + std::to_string(removed) + " images older than " +
               std::to_string(*expireAfterDays_) + " days");
}

} // namespace glimor::server
