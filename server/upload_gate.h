#pragma once
#include "config.h"
#include "http_types.h"
#include "rate_limiter.h"
#include "token_store.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace glimor::server {

// Who made an admitted upload or feedback: the token's name, or nobody when
// the service is open and no token was given.
struct Caller {
  std::optional<std::string> tokenName;
};

// Decides who may upload and send feedback, and how often: the token on the
// request's Authorization line (required with --uploads token, checked
// whenever one is given), then the limits of the token, or of the client's
// address without one. Refusals are thrown as Refusal: 401 with
// WWW-Authenticate, 429 with Retry-After. Thread-safe.
class UploadGate {
public:
  // A token's validity is looked up again after `freshness`, so one revoked
  // through another process stops working within that time.
  UploadGate(const Config& config, TokenStore& tokens,
             std::chrono::milliseconds freshness = std::chrono::seconds(1));

  Caller admitUpload(const Request& request, RateLimiter::Clock::time_point now);
  Caller admitFeedback(const Request& request, RateLimiter::Clock::time_point now);

private:
  // `tokenRequired`: the refusal's words when no token is given where one is required.
  Caller authenticate(const Request& request, std::string_view tokenRequired);
  std::optional<std::string> tokenName(const std::string& token);

  struct Lookup {
    std::optional<std::string> name;
    RateLimiter::Clock::time_point checked;
  };

  const UploadAccess access_;
  TokenStore& tokens_;
  const std::chrono::milliseconds freshness_;
  std::mutex mutex_;
  std::unordered_map<std::string, Lookup> lookups_; // by hash
  RateLimiter uploads_;
  RateLimiter feedback_;
};

// The key that client addresses are limited by: the address itself, an IPv6
// address's /64 (one subscriber's network), an IPv4-mapped address as IPv4.
std::string addressGroup(const std::string& address);

} // namespace glimor::server
