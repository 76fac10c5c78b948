#include "postgres_feedback_store.h"

#include <ctime>

namespace glimor::server {

void PostgresFeedbackStore::add(const FeedbackForm& form, std::string_view clientAddress) {
  pool_->run([&](PgConnection& connection) {
    connection.query("INSERT INTO feedback (name, email, category, text, created_at, client_address)"
                     " VALUES ($1, $2, $3, $4, $5, $6)",
                     {PgParam::bytes(form.name), PgParam::bytes(form.email), PgParam::bytes(form.category),
                      PgParam::bytes(form.text),
                      PgParam::integer(static_cast<std::int64_t>(std::time(nullptr))),
                      PgParam::text(std::string(clientAddress))});
  });
}

std::vector<FeedbackRecord> PostgresFeedbackStore::list() {
  return pool_->run([](PgConnection& connection) {
    PgResult rows =
        connection.query("SELECT id, created_at, client_address, name, email, octet_length(text)::bigint"
                         " FROM feedback ORDER BY id",
                         {});
    std::vector<FeedbackRecord> records;
    for (int row = 0; row < rows.rows(); ++row)
      records.push_back({rows.int64(row, 0), rows.int64(row, 1), std::string(rows.bytes(row, 2)),
                         std::string(rows.bytes(row, 3)), std::string(rows.bytes(row, 4)),
                         static_cast<std::uint64_t>(rows.int64(row, 5))});
    return records;
  });
}

bool PostgresFeedbackStore::remove(std::int64_t id) {
  return pool_->run([&](PgConnection& connection) {
    return connection.query("DELETE FROM feedback WHERE id = $1", {PgParam::integer(id)}).affectedRows() > 0;
  });
}

std::uint64_t PostgresFeedbackStore::storedBytes() {
  return pool_->run([](PgConnection& connection) {
    PgResult rows = connection.query("SELECT coalesce(sum(octet_length(name) + octet_length(email) +"
                                     " octet_length(category) + octet_length(text) + length(client_address)),"
                                     " 0)::bigint FROM feedback",
                                     {});
    return static_cast<std::uint64_t>(rows.int64(0, 0));
  });
}

} // namespace glimor::server
