#pragma once
#include "http_types.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace glimor::server {

struct WholeBody {};
struct Unsatisfiable {};

// A Range line against a body of `size` bytes. One range ("bytes=A-B",
// "bytes=A-", "bytes=-N") gives that part; an empty or malformed line, or
// several ranges, give the whole body; a range that starts past the end or
// asks for zero bytes is unsatisfiable.
std::variant<WholeBody, ByteRange, Unsatisfiable> parseRange(std::string_view line, std::uint64_t size);

// Makes a 200 answer with a body of `size` bytes answer the request's Range
// line: 206 with Content-Range, or 416; an If-Range line that does not name
// `etag` asks for the whole body. Adds Accept-Ranges.
void answerRange(Response& response, const Request& request, std::uint64_t size, std::string_view etag);

} // namespace glimor::server
