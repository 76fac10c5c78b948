#pragma once
#include <string>
#include <string_view>

namespace glimor::server {

// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits; it serves as
// the stored image's checksum and as its ETag.
std::string sha256Hex(std::string_view bytes);

} // namespace glimor::server
