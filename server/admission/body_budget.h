#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace glimor::server {

// Room for request bodies, claimed before a body is read and given back when
// it is done, so many large uploads at once cannot exhaust memory. No address
// holds more than `share` of it, so one client's slow uploads cannot take the
// room from everyone else. Thread-safe.
class BodyBudget {
public:
  BodyBudget(std::uint64_t total, std::uint64_t share) : total_(total), share_(share) {}

  // False when the claim would exceed the whole budget or the address's share.
  bool claim(const std::string& address, std::uint64_t bytes) {
    if (bytes == 0) return true;
    std::lock_guard lock(mutex_);
    std::uint64_t& mine = byAddress_[address];
    if (bytes > total_ - held_ || bytes > share_ - mine) {
      if (mine == 0) byAddress_.erase(address);
      return false;
    }
    mine += bytes;
    held_ += bytes;
    return true;
  }

  void release(const std::string& address, std::uint64_t bytes) {
    if (bytes == 0) return;
    std::lock_guard lock(mutex_);
    auto found = byAddress_.find(address);
    found->second -= bytes;
    if (found->second == 0) byAddress_.erase(found);
    held_ -= bytes;
  }

private:
  std::mutex mutex_;
  const std::uint64_t total_;
  const std::uint64_t share_;
  std::uint64_t held_ = 0;
  std::unordered_map<std::string, std::uint64_t> byAddress_;
};

} // namespace glimor::server
