#include "postgres_token_store.h"

// The browser sessions in the shared database, so that every node honours them.
namespace glimor::server {

void PostgresTokenStore::openSession(std::string_view idHash, const StoredSession& session,
                                     std::int64_t expiredBefore, std::size_t maxPerToken,
                                     std::size_t maxSessions) {
  pool_->run([&](PgConnection& connection) {
    connection.execute("BEGIN");
    try {
      connection.query("DELETE FROM browser_sessions WHERE opened_at < $1",
                       {PgParam::integer(expiredBefore)});
      // The newest ones that leave room for this one are kept.
      connection.query("DELETE FROM browser_sessions WHERE id_hash IN (SELECT id_hash FROM browser_sessions"
                       " WHERE token_hash = $1 ORDER BY opened_at DESC, opened DESC OFFSET $2)",
                       {PgParam::text(session.tokenHash), PgParam::integer(std::int64_t(maxPerToken) - 1)});
      connection.query("DELETE FROM browser_sessions WHERE id_hash IN (SELECT id_hash FROM browser_sessions"
                       " ORDER BY opened_at DESC, opened DESC OFFSET $1)",
                       {PgParam::integer(std::int64_t(maxSessions) - 1)});
      connection.query("INSERT INTO browser_sessions (id_hash, token_hash, token_name, csrf, opened_at)"
                       " VALUES ($1, $2, $3, $4, $5)",
                       {PgParam::text(std::string(idHash)), PgParam::text(session.tokenHash),
                        PgParam::text(session.tokenName), PgParam::text(session.csrf),
                        PgParam::integer(session.openedAt)});
      connection.execute("COMMIT");
    } catch (...) {
      if (!connection.broken()) connection.execute("ROLLBACK");
      throw;
    }
    return true;
  });
}

std::optional<StoredSession> PostgresTokenStore::findSession(std::string_view idHash) {
  return pool_->run([&](PgConnection& connection) -> std::optional<StoredSession> {
    PgResult rows = connection.query(
        "SELECT token_hash, token_name, csrf, opened_at FROM browser_sessions WHERE id_hash = $1",
        {PgParam::text(std::string(idHash))});
    if (rows.rows() != 1) return std::nullopt;
    return StoredSession{std::string(rows.bytes(0, 0)), std::string(rows.bytes(0, 1)),
                         std::string(rows.bytes(0, 2)), rows.int64(0, 3)};
  });
}

void PostgresTokenStore::closeSession(std::string_view idHash) {
  pool_->run([&](PgConnection& connection) {
    connection.query("DELETE FROM browser_sessions WHERE id_hash = $1", {PgParam::text(std::string(idHash))});
    return true;
  });
}

} // namespace glimor::server
