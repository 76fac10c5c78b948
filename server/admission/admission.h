#pragma once
#include "config.h"
#include "http_types.h"
#include "refusal.h"
#include "upload_gate.h"

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
  std::string_view authorization = {}; // the Authorization line
  std::string_view clientAddress = {};
  std::string_view host = {}; // the Host line
  bool forwarded = false;     // a Forwarded or X-Forwarded-For line is there
};

// A request the service reads on: its body may grow to `bodyLimit`, and
// `bodyClaim` bytes of the shared body budget are held for it meanwhile.
struct Admitted {
  std::uint64_t bodyLimit = 0;
  std::uint64_t bodyClaim = 0;
  Caller caller; // who sends an upload or feedback
};

// A request turned down before its body is read; the reason is the status line's phrase.
struct Turndown {
  Turndown(int status, std::string reason, Refusal::Headers headers = {})
      : status(status), reason(std::move(reason)), headers(std::move(headers)) {}
  int status;
  std::string reason;
  Refusal::Headers headers; // e.g. Retry-After
};

// The rules a request head must pass, all decided before any body room is
// claimed or a body byte read: the head's own form and size, its route and
// method, then for uploads and feedback the token and whether the limits take
// the declared length (`gate`, which never waits for the store; the request is
// counted once its body has come).
std::variant<Admitted, Turndown> admit(const RequestHead& head, const Config& config, UploadGate& gate,
                                       std::chrono::steady_clock::time_point now);

// The time by which a transfer that began at `start` must have moved `bytes`:
// after a grace of `grace`, at least `rate` bytes a second on average.
std::chrono::steady_clock::time_point paceDeadline(std::chrono::steady_clock::time_point start,
                                                   std::uint64_t bytes, std::chrono::seconds grace,
                                                   std::uint64_t rate);

} // namespace glimor::server
