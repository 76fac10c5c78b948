#pragma once
#include "http_types.h"

#include <string>
#include <string_view>

namespace glimor::server {

// `text` as a JSON string, quotes included. Quotes, backslashes and control
// bytes are escaped, and so is every byte above 0x7F (as the Latin-1
// character of that number), so the result is valid JSON whatever the bytes.
std::string jsonString(std::string_view text);

// Whether an Accept line asks for JSON: it names application/json (ShareX and
// scripts do; Glimor and browsers never do), with no q=0 that refuses it.
bool wantsJson(std::string_view accept);

// A refusal as a JSON client reads it: the same status and reason phrase, the
// body {"error": reason}.
Response jsonErrorResponse(int status, const std::string& reason);

} // namespace glimor::server
