#include "upload_gate.h"

#include "refusal.h"

#include <boost/asio/ip/address.hpp>

namespace glimor::server {
namespace {

// Lookups remembered at most; a client trying many tokens only empties the memory.
constexpr std::size_t maxLookups = 4096;

Refusal unauthorised(const std::string& reason) {
  return Refusal(401, reason, {{"WWW-Authenticate", "Bearer"}});
}

// What a refusal calls the request, so that a refused feedback does not read like an upload problem.
struct Kind {
  std::string_view tokenRequired;
  std::string_view tooMany;
};
constexpr Kind upload{"Upload token required", "Too many uploads"};
constexpr Kind feedback{"Feedback needs an upload token", "Too many feedback messages"};

Refusal tooMany(const Kind& kind, std::chrono::seconds wait) {
  std::string seconds = std::to_string(wait.count());
  return Refusal(429, std::string(kind.tooMany) + ", try again in " + seconds + " s",
                 {{"Retry-After", seconds}});
}

// The token of "Bearer TOKEN", the scheme in any letter case.
std::optional<std::string> bearerToken(std::string_view line) {
  constexpr std::string_view scheme = "bearer ";
  if (line.size() <= scheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < scheme.size(); ++i)
    if ((line[i] | 0x20) != scheme[i]) return std::nullopt;
  line.remove_prefix(scheme.size());
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  return std::string(line);
}

} // namespace

std::string addressGroup(const std::string& address) {
  namespace ip = boost::asio::ip;
  boost::system::error_code error;
  ip::address parsed = ip::make_address(address, error);
  if (error || parsed.is_v4()) return address;
  ip::address_v6 v6 = parsed.to_v6();
  if (v6.is_v4_mapped()) return ip::make_address_v4(ip::v4_mapped, v6).to_string();
  auto bytes = v6.to_bytes();
  std::fill(bytes.begin() + 8, bytes.end(), 0);
  return ip::address_v6(bytes).to_string() + "/64";
}

UploadGate::UploadGate(const Config& config, TokenStore& tokens, std::chrono::milliseconds freshness)
    : access_(config.uploads), tokens_(tokens), freshness_(freshness),
      uploads_(config.uploadsPerMinute, config.uploadBytesPerDay), feedback_(config.feedbackPerMinute, 0) {}

std::optional<std::string> UploadGate::tokenName(const std::string& token) {
  std::string hash = tokenHash(token);
  auto now = RateLimiter::Clock::now();
  {
    std::lock_guard lock(mutex_);
    auto found = lookups_.find(hash);
    if (found != lookups_.end() && now - found->second.checked < freshness_) return found->second.name;
  }
  // Looked up outside the lock: the store may wait for another machine.
  std::optional<std::string> name = tokens_.nameForHash(hash);
  std::lock_guard lock(mutex_);
  if (lookups_.size() >= maxLookups) lookups_.clear();
  lookups_[hash] = {name, now};
  return name;
}

Caller UploadGate::authenticate(const Request& request, std::string_view tokenRequired) {
  if (request.authorization.empty()) {
    if (access_ == UploadAccess::token) throw unauthorised(std::string(tokenRequired));
    return {};
  }
  // A token that is given must be valid, even where anyone may upload.
  auto token = bearerToken(request.authorization);
  auto name = token ? tokenName(*token) : std::nullopt;
  if (!name) throw unauthorised("Upload token not valid");
  return {std::move(name)};
}

Caller UploadGate::admitUpload(const Request& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, upload.tokenRequired);
  std::string key =
      caller.tokenName ? "token " + *caller.tokenName : "address " + addressGroup(request.clientAddress);
  if (auto wait = uploads_.charge(key, request.body.size(), now)) throw tooMany(upload, *wait);
  return caller;
}

Caller UploadGate::admitFeedback(const Request& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, feedback.tokenRequired);
  if (auto wait = feedback_.charge(addressGroup(request.clientAddress), 0, now))
    throw tooMany(feedback, *wait);
  return caller;
}

} // namespace glimor::server
