#pragma once
#include "feedback_form.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// Where feedback messages are kept, each field byte for byte. add() returns
// once the message is durable; it throws Error, or Refusal when the store
// cannot be reached.
// A stored message as the operator's list shows it.
struct FeedbackRecord {
  std::int64_t id = 0;
  std::int64_t createdAt = 0; // seconds since 1970, UTC
  std::string clientAddress;
  std::string name;
  std::string email;
  std::uint64_t textBytes = 0;
};

class FeedbackStore {
public:
  virtual ~FeedbackStore() = default;
  virtual void add(const FeedbackForm& form, std::string_view clientAddress) = 0;
  virtual std::vector<FeedbackRecord> list() = 0; // oldest first
  // False when there was no message of that id.
  virtual bool remove(std::int64_t id) = 0;
  // The bytes of every message's fields together, for --max-store.
  virtual std::uint64_t storedBytes() = 0;
};

} // namespace glimor::server
