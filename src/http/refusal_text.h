#pragma once
#include "platform/error.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace glimor::http {

// Refusals whose words are meant for the user: a missing or wrong upload token, too many uploads,
// a file too large or of a kind the service does not take.
inline bool saysWhyItRefuses(int statusCode) {
  return statusCode == 401 || statusCode == 413 || statusCode == 415 || statusCode == 429;
}

// The longest text of the service's own that a refusal reports.
inline constexpr std::size_t refusalTextLimit = 200;

// What such a refusal reports: the first line of its body when that is short plain text (not
// markup), else the reason phrase of its status line, else the status line as it is.
std::string refusalText(std::string_view statusLine, std::string_view bodyStart);

// An exchange ended by such a refusal, so a caller can tell the user what to do about it.
class Refusal : public Error {
public:
  Refusal(int statusCode, const std::string& text) : Error(text), statusCode_(statusCode) {}
  int statusCode() const { return statusCode_; }

private:
  int statusCode_;
};

} // namespace glimor::http
