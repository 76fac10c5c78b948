#pragma once
#include <string>
#include <string_view>

namespace glimor::http {

// Why a request with this upload token is not sent.
inline constexpr std::string_view invalidTokenText =
    "The upload token may hold only letters, digits and - . _ ~ + / (with = only at its end); "
    "nothing was sent.";

// Whether `token` can go into an "Authorization: Bearer" line as it is: the token68 form of
// RFC 7235 (which holds the URL-safe alphabet), so no line break, blank or control character
// can ever reach the request head.
bool isToken68(std::string_view token);

// A token that can go on the wire as it is; the only way one reaches a request head, so the form
// is checked here and nowhere else.
class BearerToken {
public:
  BearerToken() = default; // none: no Authorization line
  // Empty text is no token; anything else must be token68, else Error(invalidTokenText).
  explicit BearerToken(std::string text);

  bool empty() const { return text_.empty(); }
  const std::string& text() const { return text_; }

private:
  std::string text_;
};

} // namespace glimor::http
