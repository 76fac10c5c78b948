#pragma once
#include "http_types.h"

#include <chrono>
#include <cstdint>
#include <string_view>

namespace glimor::server {

// Counts one answer in the process's metrics: its route and status, its time
// from the request's first byte, the body bytes sent, and a refusal's reason.
void recordAnswer(std::string_view target, const Response& response, std::uint64_t bytesSent,
                  std::chrono::steady_clock::duration took);

} // namespace glimor::server
