#pragma once
#include "config.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace glimor::server {

// What the service knows of a request once its header is in, before any of
// its body is read.
struct RequestHead {
  std::string_view method;
  std::string_view target;
  std::size_t headerLines = 0;
  std::size_t hostLines = 0;
  std::optional<std::uint64_t> contentLength;
  bool chunked = false;
};

// A request the service reads on: its body may grow to `bodyLimit`, and
// `bodyClaim` bytes of the shared body budget are held for it meanwhile.
struct Admitted {
  std::uint64_t bodyLimit = 0;
  std::uint64_t bodyClaim = 0;
};

// A request turned down before its body is read; the reason is the status line's phrase.
struct Turndown {
  int status = 400;
  std::string reason;
};

// The rules a request head must pass, with no I/O, so they are tested on their own.
std::variant<Admitted, Turndown> admit(const RequestHead& head, const Config& config);

// The time by which a transfer that began at `start` must have moved `bytes`:
// after a grace of `grace`, at least `rate` bytes a second on average.
std::chrono::steady_clock::time_point paceDeadline(std::chrono::steady_clock::time_point start,
                                                   std::uint64_t bytes, std::chrono::seconds grace,
                                                   std::uint64_t rate);

} // namespace glimor::server
