#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// "2026-12-09T13:00:00Z" for seconds since 1970.
std::string formatUtc(std::int64_t seconds);

// Seconds since 1970 for "2026-12-09T13:00:00Z" or "2026-12-09" (midnight
// UTC); nothing for any other text or an impossible date.
std::optional<std::int64_t> parseUtc(std::string_view text);

} // namespace glimor::server
