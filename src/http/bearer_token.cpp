#include "http/bearer_token.h"

#include "platform/error.h"

namespace glimor::http {

bool isToken68(std::string_view token) {
  std::size_t padding = token.find_last_not_of('=') + 1; // npos + 1 == 0: nothing but "="
  if (padding == 0) return false;
  for (char c : token.substr(0, padding)) {
    bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '.' || c == '_' || c == '~' || c == '+' || c == '/';
    if (!allowed) return false;
  }
  return true;
}

BearerToken::BearerToken(std::string text) : text_(std::move(text)) {
  if (!text_.empty() && !isToken68(text_)) throw Error(std::string(invalidTokenText));
}

} // namespace glimor::http
