#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// The value of field `name` in an application/x-www-form-urlencoded body or
// query ("a=1&b=x%20y"), decoded ('+' is a space, %XX a byte); nothing when
// the field is missing or malformed.
std::optional<std::string> formField(std::string_view form, std::string_view name);

// The value of cookie `name` on a Cookie line ("a=1; b=2"); empty without it.
std::string_view cookieValue(std::string_view cookieLine, std::string_view name);

} // namespace glimor::server
