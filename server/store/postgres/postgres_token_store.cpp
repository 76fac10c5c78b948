#include "postgres_token_store.h"

#include "platform/error.h"

#include <ctime>

namespace glimor::server {

void PostgresTokenStore::add(std::string_view name, std::string_view hash) {
  auto added = pool_->run([&](PgConnection& connection) {
    return connection
        .query(
            "INSERT INTO tokens (name, hash, created_at) VALUES ($1, $2, $3) ON CONFLICT (name) DO NOTHING",
            {PgParam::text(std::string(name)), PgParam::text(std::string(hash)),
             PgParam::integer(static_cast<std::int64_t>(std::time(nullptr)))})
        .affectedRows();
  });
  if (added == 0) throw Error("A token named \"" + std::string(name) + "\" exists already");
}

std::vector<TokenRecord> PostgresTokenStore::list() {
  return pool_->run([](PgConnection& connection) {
    PgResult rows = connection.query("SELECT name, created_at FROM tokens ORDER BY name", {});
    std::vector<TokenRecord> records;
    for (int row = 0; row < rows.rows(); ++row)
      records.push_back({std::string(rows.bytes(row, 0)), rows.int64(row, 1)});
    return records;
  });
}

bool PostgresTokenStore::revoke(std::string_view name) {
  return pool_->run([&](PgConnection& connection) {
    // The token's browser sessions end with it, in the same statement.
    return connection
               .query("WITH ended AS (DELETE FROM browser_sessions WHERE token_name = $1)"
                      " DELETE FROM tokens WHERE name = $1",
                      {PgParam::text(std::string(name))})
               .affectedRows() > 0;
  });
}

std::unordered_map<std::string, std::string> PostgresTokenStore::byHash() {
  return pool_->run([](PgConnection& connection) {
    PgResult rows = connection.query("SELECT hash, name FROM tokens", {});
    std::unordered_map<std::string, std::string> names;
    for (int row = 0; row < rows.rows(); ++row)
      names.emplace(std::string(rows.bytes(row, 0)), std::string(rows.bytes(row, 1)));
    return names;
  });
}

} // namespace glimor::server
