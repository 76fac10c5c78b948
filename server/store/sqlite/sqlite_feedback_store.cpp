#include "sqlite_feedback_store.h"

#include "sqlite_schema.h"

#include <ctime>
#include <sqlite3.h>

namespace glimor::server {
namespace {

Database& withSchema(Database& database) {
  migrateSqliteSchema(database);
  return database;
}

} // namespace

SqliteFeedbackStore::SqliteFeedbackStore(const std::filesystem::path& dataDirectory)
    : reserve_(dataDirectory), database_((dataDirectory / "glimor.db").string()),
      insert_(withSchema(database_), "INSERT INTO feedback (name, email, category, text, created_at,"
                                     " client_address) VALUES (?, ?, ?, ?, ?, ?)") {}

void SqliteFeedbackStore::add(const FeedbackForm& form, std::string_view clientAddress) {
  std::lock_guard lock(mutex_);
  try {
    insert_.bindBlob(1, form.name)
        .bindBlob(2, form.email)
        .bindBlob(3, form.category)
        .bindBlob(4, form.text)
        .bindInteger(5, static_cast<std::int64_t>(std::time(nullptr)))
        .bindText(6, clientAddress);
    insert_.run();
  } catch (...) {
    insert_.reset();
    throw;
  }
}

std::vector<FeedbackRecord> SqliteFeedbackStore::list() {
  std::lock_guard lock(mutex_);
  Statement select(database_, "SELECT id, created_at, client_address, name, email, length(text) FROM feedback"
                              " ORDER BY id");
  std::vector<FeedbackRecord> records;
  while (select.step())
    records.push_back({select.columnInteger(0), select.columnInteger(1), select.columnText(2),
                       select.columnText(3), select.columnText(4),
                       static_cast<std::uint64_t>(select.columnInteger(5))});
  return records;
}

bool SqliteFeedbackStore::remove(std::int64_t id) {
  std::lock_guard lock(mutex_);
  // On a full disk the reserve makes room for the journal.
  return reserve_.freeing([&] {
    Statement erase(database_, "DELETE FROM feedback WHERE id = ?");
    erase.bindInteger(1, id).run();
    return sqlite3_changes(database_.handle()) > 0;
  });
}

std::uint64_t SqliteFeedbackStore::storedBytes() {
  std::lock_guard lock(mutex_);
  Statement sum(database_,
                "SELECT coalesce(sum(length(name) + length(email) + length(category) + length(text)"
                " + length(client_address)), 0) FROM feedback");
  sum.step();
  return static_cast<std::uint64_t>(sum.columnInteger(0));
}

} // namespace glimor::server
