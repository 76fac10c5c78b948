#pragma once
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

} // namespace glimor::http
