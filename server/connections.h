#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

namespace glimor::server {

// The open client connections, so that a shutdown can close the idle ones at
// once while those with a request in flight finish it first.
class Connection {
public:
  virtual ~Connection() = default;
  // Closes the connection if it waits for a request; otherwise it closes after
  // its current answer. Callable from any thread.
  virtual void closeWhenIdle() = 0;
};

class Connections {
public:
  // `bodyBudget`: the most request-body bytes all connections together may hold.
  explicit Connections(std::uint64_t bodyBudget) : bodyBudget_(bodyBudget) {}

  using Handle = std::list<std::weak_ptr<Connection>>::iterator;

  Handle add(std::weak_ptr<Connection> connection) {
    std::lock_guard lock(mutex_);
    return open_.insert(open_.end(), std::move(connection));
  }
  void remove(Handle handle) {
    std::lock_guard lock(mutex_);
    open_.erase(handle);
  }
  bool empty() {
    std::lock_guard lock(mutex_);
    return open_.empty();
  }

  bool stopping() const { return stopping_; }

  // Claims room for a body of `bytes` before it is read; false when that would
  // exceed the budget, so many large uploads at once cannot exhaust memory.
  bool reserveBody(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    if (bytes > bodyBudget_ - bodyBytesHeld_) return false;
    bodyBytesHeld_ += bytes;
    return true;
  }
  void releaseBody(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    bodyBytesHeld_ -= bytes;
  }

  // From now on no connection is kept alive; idle ones close now.
  void stop() {
    stopping_ = true;
    std::list<std::shared_ptr<Connection>> live;
    {
      std::lock_guard lock(mutex_);
      for (auto& weak : open_)
        if (auto connection = weak.lock()) live.push_back(std::move(connection));
    }
    for (auto& connection : live) connection->closeWhenIdle();
  }

private:
  std::mutex mutex_;
  std::list<std::weak_ptr<Connection>> open_;
  std::atomic<bool> stopping_{false};
  const std::uint64_t bodyBudget_;
  std::uint64_t bodyBytesHeld_ = 0;
};

} // namespace glimor::server
