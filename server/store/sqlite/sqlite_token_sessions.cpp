#include "sqlite_token_store.h"

// The browser sessions in DATA/glimor.db, beside the tokens that signed them in.
namespace glimor::server {

void SqliteTokenStore::openSession(std::string_view idHash, const StoredSession& session,
                                   std::int64_t expiredBefore, std::size_t maxPerToken,
                                   std::size_t maxSessions) {
  std::lock_guard lock(mutex_);
  reserve_.freeing([&] {
    Transaction transaction(database_);
    Statement(database_, "DELETE FROM browser_sessions WHERE opened_at < ?")
        .bindInteger(1, expiredBefore)
        .run();
    // The newest ones that leave room for this one are kept; LIMIT -1 is "no limit".
    Statement(database_, "DELETE FROM browser_sessions WHERE id_hash IN (SELECT id_hash FROM browser_sessions"
                         " WHERE token_hash = ? ORDER BY opened_at DESC, rowid DESC LIMIT -1 OFFSET ?)")
        .bindText(1, session.tokenHash)
        .bindInteger(2, std::int64_t(maxPerToken) - 1)
        .run();
    Statement(database_, "DELETE FROM browser_sessions WHERE id_hash IN (SELECT id_hash FROM browser_sessions"
                         " ORDER BY opened_at DESC, rowid DESC LIMIT -1 OFFSET ?)")
        .bindInteger(1, std::int64_t(maxSessions) - 1)
        .run();
    Statement(database_, "INSERT INTO browser_sessions (id_hash, token_hash, token_name, csrf, opened_at)"
                         " VALUES (?, ?, ?, ?, ?)")
        .bindText(1, idHash)
        .bindText(2, session.tokenHash)
        .bindText(3, session.tokenName)
        .bindText(4, session.csrf)
        .bindInteger(5, session.openedAt)
        .run();
    transaction.commit();
    return true;
  });
}

std::optional<StoredSession> SqliteTokenStore::findSession(std::string_view idHash) {
  std::lock_guard lock(mutex_);
  Statement select(database_,
                   "SELECT token_hash, token_name, csrf, opened_at FROM browser_sessions WHERE id_hash = ?");
  select.bindText(1, idHash);
  if (!select.step()) return std::nullopt;
  return StoredSession{select.columnText(0), select.columnText(1), select.columnText(2),
                       select.columnInteger(3)};
}

void SqliteTokenStore::closeSession(std::string_view idHash) {
  std::lock_guard lock(mutex_);
  reserve_.freeing([&] {
    Statement(database_, "DELETE FROM browser_sessions WHERE id_hash = ?").bindText(1, idHash).run();
    return true;
  });
}

} // namespace glimor::server
