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

} // namespace glimor::server
