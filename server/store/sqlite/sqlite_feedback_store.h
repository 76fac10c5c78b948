#pragma once
#include "database.h"
#include "disk_reserve.h"
#include "feedback_store.h"

#include <filesystem>
#include <mutex>
#include <string_view>

namespace glimor::server {

// Feedback messages in the table "feedback" of <data>/glimor.db, each field
// kept byte for byte.
class SqliteFeedbackStore : public FeedbackStore {
public:
  explicit SqliteFeedbackStore(const std::filesystem::path& dataDirectory);

  void add(const FeedbackForm& form, std::string_view clientAddress) override;
  std::vector<FeedbackRecord> list() override;
  bool remove(std::int64_t id) override;
  std::uint64_t storedBytes() override;

private:
  std::mutex mutex_;
  DiskReserve reserve_;
  Database database_;
  Statement insert_;
};

} // namespace glimor::server
