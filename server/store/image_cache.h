#pragma once
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace glimor::server {

// Stored images never change (they are only removed), so recently served ones are kept in memory up to
// a byte budget and evicted least recently used first. Thread-safe.
template <typename Value> class ImageCache {
public:
  explicit ImageCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

  std::shared_ptr<const Value> get(const std::string& id) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(id);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->value;
  }

  void erase(const std::string& id) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(id);
    if (found == index_.end()) return;
    used_ -= found->second->bytes;
    order_.erase(found->second);
    index_.erase(found);
  }

  void put(const std::string& id, std::shared_ptr<const Value> value, std::size_t bytes) {
    if (bytes > budget_ / 4) return; // one huge image must not flush everything else
    std::lock_guard lock(mutex_);
    if (index_.contains(id)) return;
    order_.push_front({id, std::move(value), bytes});
    index_[id] = order_.begin();
    used_ += bytes;
    while (used_ > budget_) {
      used_ -= order_.back().bytes;
      index_.erase(order_.back().id);
      order_.pop_back();
    }
  }

private:
  struct Entry {
    std::string id;
    std::shared_ptr<const Value> value;
    std::size_t bytes;
  };
  std::mutex mutex_;
  std::list<Entry> order_; // most recently used first
  std::unordered_map<std::string, typename std::list<Entry>::iterator> index_;
  std::size_t budget_;
  std::size_t used_ = 0;
};

} // namespace glimor::server
