#pragma once
#include "database_unavailable.h"
#include "pg_connection.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace glimor::server {

// At most `size` connections to one database, opened when first needed and
// kept for reuse. A request waits at most `wait` for a free one. A connection
// that breaks is dropped; work that failed on a connection which broke while
// idle in the pool (the database restarted) runs once more on a new one, so a
// database that comes back is used again without a restart. After a failed
// connect, requests fail at once for a second instead of each waiting for the
// connect timeout.
class PgPool {
public:
  PgPool(std::string uri, unsigned size, std::chrono::milliseconds wait = std::chrono::seconds(5));

  template <typename Work> auto run(Work&& work) -> std::invoke_result_t<Work&, PgConnection&> {
    while (true) {
      bool reused = false;
      std::unique_ptr<PgConnection> connection = take(reused);
      try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work&, PgConnection&>>) {
          work(*connection);
          give(std::move(connection));
          return;
        } else {
          auto result = work(*connection);
          give(std::move(connection));
          return result;
        }
      } catch (const DatabaseUnavailable&) {
        bool stale = reused && connection->broken();
        give(std::move(connection));
        if (!stale) throw;
      } catch (...) {
        give(std::move(connection));
        throw;
      }
    }
  }

  // Where the pool connects, without any password; connects once to find out.
  std::string description();

private:
  std::unique_ptr<PgConnection> take(bool& reused);
  // Back into the pool, or closed when it broke.
  void give(std::unique_ptr<PgConnection> connection);
  std::unique_ptr<PgConnection> connect(std::unique_lock<std::mutex>& lock);

  const std::string uri_;
  const unsigned size_;
  const std::chrono::milliseconds wait_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<std::unique_ptr<PgConnection>> idle_;
  unsigned open_ = 0; // idle and in use
  bool down_ = false;
  std::chrono::steady_clock::time_point retryAt_;
};

} // namespace glimor::server
