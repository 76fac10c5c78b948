#pragma once
#include <cstdint>
#include <mutex>
#include <optional>

namespace glimor::server {

// The bytes the store holds (images and feedback), bounded by --max-store.
// The total is measured from the store once a second (removals by any
// process show then); what this node stored since is added meanwhile.
// Thread-safe.
class StoreUsage {
public:
  explicit StoreUsage(std::optional<std::uint64_t> limit) : limit_(limit) {}

  // Counts `bytes` about to be stored; false when they would pass the limit.
  bool claim(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    if (limit_ && (measured_ + added_ > *limit_ || bytes > *limit_ - measured_ - added_)) return false;
    added_ += bytes;
    return true;
  }
  // Gives back a claim whose bytes were not stored after all.
  void release(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    added_ -= std::min(added_, bytes);
  }
  void measured(std::uint64_t total) {
    std::lock_guard lock(mutex_);
    measured_ = total;
    added_ = 0;
  }
  bool limited() const { return limit_.has_value(); }

private:
  const std::optional<std::uint64_t> limit_;
  std::mutex mutex_;
  std::uint64_t measured_ = 0;
  std::uint64_t added_ = 0;
};

} // namespace glimor::server
