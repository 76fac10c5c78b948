#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// The feedback request body. The texts go in exactly as typed (no trimming, no percent-encoding),
// as the service reads them; `category` is the chosen item counted from 1, or 0 for none.
std::string feedbackBody(std::string_view name, std::string_view email, int category, std::string_view text);

} // namespace glimor::net
