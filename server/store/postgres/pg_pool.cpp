#include "pg_pool.h"

#include "request_log.h"

namespace glimor::server {
namespace {

constexpr auto retryPause = std::chrono::seconds(1);

} // namespace

PgPool::PgPool(std::string uri, unsigned size, std::chrono::milliseconds wait)
    : uri_(std::move(uri)), size_(size), wait_(wait) {}

std::unique_ptr<PgConnection> PgPool::take(bool& reused) {
  std::unique_lock lock(mutex_);
  if (!freed_.wait_for(lock, wait_, [&] { return !idle_.empty() || open_ < size_; }))
    throw DatabaseUnavailable("no free database connection", "Database busy, try again later");
  reused = !idle_.empty();
  if (!reused) return connect(lock);
  auto connection = std::move(idle_.back());
  idle_.pop_back();
  return connection;
}

std::unique_ptr<PgConnection> PgPool::connect(std::unique_lock<std::mutex>& lock) {
  if (down_ && std::chrono::steady_clock::now() < retryAt_)
    throw DatabaseUnavailable("database unreachable a moment ago");
  ++open_;
  lock.unlock();
  try {
    auto connection = std::make_unique<PgConnection>(uri_);
    lock.lock();
    if (down_) logMessage("database reachable again");
    down_ = false;
    return connection;
  } catch (const DatabaseUnavailable& failure) {
    lock.lock();
    --open_;
    freed_.notify_one();
    if (!down_) logMessage("database unreachable: " + failure.detail());
    down_ = true;
    retryAt_ = std::chrono::steady_clock::now() + retryPause;
    throw;
  } catch (...) {
    lock.lock();
    --open_;
    freed_.notify_one();
    throw;
  }
}

void PgPool::give(std::unique_ptr<PgConnection> connection) {
  std::lock_guard lock(mutex_);
  if (connection->broken())
    --open_;
  else
    idle_.push_back(std::move(connection));
  freed_.notify_one();
}

std::string PgPool::description() {
  return run([](PgConnection& connection) { return connection.description(); });
}

} // namespace glimor::server
