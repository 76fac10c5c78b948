#pragma once
#include <cstdint>
#include <string>

namespace glimor::server {

// An upload's facts as its pages show them.
// "512 bytes", "12.3 KB", "4.0 MB"
std::string sizeText(std::uint64_t bytes);
// "2026-12-09 13:00 UTC"
std::string dateText(std::int64_t seconds);
// How long a recording plays, as players show it: "0:12", "1:05:00".
std::string durationText(std::uint64_t ms);

} // namespace glimor::server
