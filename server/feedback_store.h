#pragma once
#include "feedback_form.h"

#include <string_view>

namespace glimor::server {

// Where feedback messages are kept, each field byte for byte. add() returns
// once the message is durable; it throws Error, or Refusal when the store
// cannot be reached.
class FeedbackStore {
public:
  virtual ~FeedbackStore() = default;
  virtual void add(const FeedbackForm& form, std::string_view clientAddress) = 0;
};

} // namespace glimor::server
