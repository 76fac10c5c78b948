#include "sqlite_feedback_store.h"

#include "sqlite_schema.h"

#include <ctime>

namespace glimor::server {
namespace {

Database& withSchema(Database& database) {
  migrateSqliteSchema(database);
  return database;
}

} // namespace

SqliteFeedbackStore::SqliteFeedbackStore(const std::filesystem::path& dataDirectory)
    : database_((dataDirectory / "glimor.db").string()),
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

} // namespace glimor::server
