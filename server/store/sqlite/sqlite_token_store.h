#pragma once
#include "database.h"
#include "disk_reserve.h"
#include "token_store.h"

#include <filesystem>
#include <mutex>

namespace glimor::server {

// Upload tokens in the table "tokens" of DATA/glimor.db, on a connection of
// their own. Every lookup reads the table, so a token revoked by another
// process stops working at once.
class SqliteTokenStore : public TokenStore {
public:
  explicit SqliteTokenStore(const std::filesystem::path& dataDirectory);

  void add(std::string_view name, std::string_view hash) override;
  std::vector<TokenRecord> list() override;
  bool revoke(std::string_view name) override;
  std::unordered_map<std::string, std::string> byHash() override;
  void openSession(std::string_view idHash, const StoredSession& session, std::int64_t expiredBefore,
                   std::size_t maxPerToken, std::size_t maxSessions) override;
  std::optional<StoredSession> findSession(std::string_view idHash) override;
  void closeSession(std::string_view idHash) override;

private:
  std::mutex mutex_;
  DiskReserve reserve_;
  Database database_;
};

} // namespace glimor::server
