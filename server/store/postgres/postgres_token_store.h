#pragma once
#include "pg_pool.h"
#include "token_store.h"

#include <memory>

namespace glimor::server {

// Upload tokens in the table "tokens" of a PostgreSQL database, shared by
// every node that names it.
class PostgresTokenStore : public TokenStore {
public:
  explicit PostgresTokenStore(std::shared_ptr<PgPool> pool) : pool_(std::move(pool)) {}

  void add(std::string_view name, std::string_view hash) override;
  std::vector<TokenRecord> list() override;
  bool revoke(std::string_view name) override;
  std::unordered_map<std::string, std::string> byHash() override;
  void openSession(std::string_view idHash, const StoredSession& session, std::int64_t expiredBefore,
                   std::size_t maxPerToken, std::size_t maxSessions) override;
  std::optional<StoredSession> findSession(std::string_view idHash) override;
  void closeSession(std::string_view idHash) override;

private:
  std::shared_ptr<PgPool> pool_;
};

} // namespace glimor::server
