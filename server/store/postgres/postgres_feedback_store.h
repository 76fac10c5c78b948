#pragma once
#include "feedback_store.h"
#include "pg_pool.h"

#include <memory>

namespace glimor::server {

// Feedback messages in the table "feedback" of a PostgreSQL database.
class PostgresFeedbackStore : public FeedbackStore {
public:
  explicit PostgresFeedbackStore(std::shared_ptr<PgPool> pool) : pool_(std::move(pool)) {}

  void add(const FeedbackForm& form, std::string_view clientAddress) override;
  std::vector<FeedbackRecord> list() override;
  bool remove(std::int64_t id) override;
  std::uint64_t storedBytes() override;

private:
  std::shared_ptr<PgPool> pool_;
};

} // namespace glimor::server
