#include "sqlite_token_store.h"

#include "platform/error.h"
#include "sqlite_schema.h"

#include <ctime>
#include <sqlite3.h>

namespace glimor::server {

SqliteTokenStore::SqliteTokenStore(const std::filesystem::path& dataDirectory)
    : reserve_(dataDirectory), database_((dataDirectory / "glimor.db").string()) {
  migrateSqliteSchema(database_);
}

void SqliteTokenStore::add(std::string_view name, std::string_view hash) {
  std::lock_guard lock(mutex_);
  Statement insert(database_, "INSERT OR IGNORE INTO tokens (name, hash, created_at) VALUES (?, ?, ?)");
  insert.bindText(1, name).bindText(2, hash).bindInteger(3, static_cast<std::int64_t>(std::time(nullptr)));
  insert.run();
  if (sqlite3_changes(database_.handle()) == 0)
    throw Error("A token named \"" + std::string(name) + "\" exists already");
}

std::vector<TokenRecord> SqliteTokenStore::list() {
  std::lock_guard lock(mutex_);
  Statement select(database_, "SELECT name, created_at FROM tokens ORDER BY name");
  std::vector<TokenRecord> records;
  while (select.step()) records.push_back({select.columnText(0), select.columnInteger(1)});
  return records;
}

bool SqliteTokenStore::revoke(std::string_view name) {
  std::lock_guard lock(mutex_);
  // On a full disk the reserve makes room for the journal.
  return reserve_.freeing([&] {
    Transaction transaction(database_);
    Statement remove(database_, "DELETE FROM tokens WHERE name = ?");
    remove.bindText(1, name).run();
    const bool removed = sqlite3_changes(database_.handle()) > 0;
    Statement(database_, "DELETE FROM browser_sessions WHERE token_name = ?").bindText(1, name).run();
    transaction.commit();
    return removed;
  });
}

std::unordered_map<std::string, std::string> SqliteTokenStore::byHash() {
  std::lock_guard lock(mutex_);
  Statement select(database_, "SELECT hash, name FROM tokens");
  std::unordered_map<std::string, std::string> names;
  while (select.step()) names.emplace(select.columnText(0), select.columnText(1));
  return names;
}

} // namespace glimor::server
