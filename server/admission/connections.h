#pragma once
#include "address_group.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace glimor::server {

// An open client connection as the registry sees it.
class Connection {
public:
  virtual ~Connection() = default;
  // Closes the connection if it waits for a request; otherwise it closes after
  // its current answer. Callable from any thread.
  virtual void closeWhenIdle() = 0;
};

// The open client connections, within a cap on all of them and a share for
// each client address (by addressGroup(): an IPv6 /64 is one client). When the cap is reached, the connection
// idle longest makes room for a new one, as a web server reuses kept-alive connections, so idle connections
// cannot lock out a client that has a request to make. A shutdown closes the idle ones at once; those with a
// request in flight finish it first. Thread-safe.
class Connections {
public:
  Connections(std::size_t maxConnections, std::size_t maxPerAddress)
      : max_(maxConnections), maxPerAddress_(maxPerAddress) {}

private:
  struct Entry {
    std::weak_ptr<Connection> connection;
    std::optional<std::string> group; // the client's address group, once known
    std::optional<std::list<std::list<Entry>::iterator>::iterator> idlePlace;
  };

public:
  using Handle = std::list<Entry>::iterator;

  // Registers a new connection, or nothing when its address holds its share
  // already or every connection is busy; the caller then closes it unread.
  std::optional<Handle> add(std::weak_ptr<Connection> connection, const std::string& address) {
    return addTo(std::move(connection), addressGroup(address));
  }

  // A connection whose client is not known yet (a trusted proxy's, before its
  // PROXY header): it counts against the cap on all, not against any share.
  std::optional<Handle> add(std::weak_ptr<Connection> connection) {
    return addTo(std::move(connection), std::nullopt);
  }

  // Counts the connection against its client's share from now on, in place of
  // any address it had; false (and counted against none) when that share is full.
  bool moveTo(Handle handle, const std::string& address) {
    std::string group = addressGroup(address);
    std::lock_guard lock(mutex_);
    if (handle->group == group) return true;
    leaveGroupLocked(*handle);
    std::size_t& fromAddress = perAddress_[group];
    if (fromAddress >= maxPerAddress_) return false;
    ++fromAddress;
    handle->group = std::move(group);
    return true;
  }

  void remove(Handle handle) {
    std::lock_guard lock(mutex_);
    setIdleLocked(handle, false);
    leaveGroupLocked(*handle);
    open_.erase(handle);
  }

  // A connection waits for a request (or its TLS handshake) from now on, or has one in progress.
  void setIdle(Handle handle, bool idle) {
    std::lock_guard lock(mutex_);
    setIdleLocked(handle, idle);
  }

  bool empty() {
    std::lock_guard lock(mutex_);
    return open_.empty();
  }

  bool stopping() const { return stopping_; }

  // Open connections and how many of them are idle, for the metrics.
  std::pair<std::size_t, std::size_t> openAndIdle() {
    std::lock_guard lock(mutex_);
    return {open_.size(), idle_.size()};
  }

  // From now on no connection is kept alive; idle ones close now.
  void stop() {
    stopping_ = true;
    std::list<std::shared_ptr<Connection>> live;
    {
      std::lock_guard lock(mutex_);
      for (auto& entry : open_)
        if (auto connection = entry.connection.lock()) live.push_back(std::move(connection));
    }
    for (auto& connection : live) connection->closeWhenIdle();
  }

private:
  std::optional<Handle> addTo(std::weak_ptr<Connection> connection, std::optional<std::string> group) {
    std::shared_ptr<Connection> evicted;
    std::optional<Handle> handle;
    {
      std::lock_guard lock(mutex_);
      std::size_t* fromAddress = group ? &perAddress_[*group] : nullptr;
      if ((!fromAddress || *fromAddress < maxPerAddress_) &&
          (open_.size() < max_ || (evicted = evictIdlest()))) {
        if (fromAddress) ++*fromAddress;
        handle = open_.insert(open_.end(), Entry{std::move(connection), std::move(group), std::nullopt});
      } else if (fromAddress && *fromAddress == 0) {
        perAddress_.erase(*group);
      }
    }
    if (evicted) evicted->closeWhenIdle();
    return handle;
  }

  void leaveGroupLocked(Entry& entry) {
    if (!entry.group) return;
    auto found = perAddress_.find(*entry.group);
    if (--found->second == 0) perAddress_.erase(found);
    entry.group.reset();
  }

  void setIdleLocked(Handle handle, bool idle) {
    if (handle->idlePlace && !idle) {
      idle_.erase(*handle->idlePlace);
      handle->idlePlace.reset();
    } else if (!handle->idlePlace && idle) {
      handle->idlePlace = idle_.insert(idle_.end(), handle);
    }
  }

  // The connection idle longest, taken off the idle list so that it is chosen once.
  std::shared_ptr<Connection> evictIdlest() {
    while (!idle_.empty()) {
      Handle oldest = idle_.front();
      setIdleLocked(oldest, false);
      if (auto connection = oldest->connection.lock()) return connection;
    }
    return nullptr;
  }

  std::mutex mutex_;
  std::list<Entry> open_;
  std::list<Handle> idle_; // idle longest first
  std::unordered_map<std::string, std::size_t> perAddress_;
  std::atomic<bool> stopping_{false};
  const std::size_t max_;
  const std::size_t maxPerAddress_;
};

} // namespace glimor::server
