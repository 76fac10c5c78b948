#include "upload_gate.h"

#include "refusal.h"
#include "request_log.h"

#include <boost/asio/ip/address.hpp>

namespace glimor::server {
namespace {

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

UploadGate::UploadGate(const Config& config, TokenStore& tokens,
                       std::optional<std::chrono::milliseconds> refreshEvery)
    : access_(config.uploads), tokens_(tokens), uploads_(config.uploadsPerMinute, config.uploadBytesPerDay),
      feedback_(config.feedbackPerMinute, 0) {
  refreshTokens();
  if (refreshEvery) refresher_ = std::thread([this, period = *refreshEvery] { keepFresh(period); });
}

UploadGate::~UploadGate() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (refresher_.joinable()) refresher_.join();
}

void UploadGate::refreshTokens() {
  Names names = tokens_.byHash();
  {
    std::unique_lock lock(namesMutex_);
    names_.swap(names);
  } // the old names go when `names` does, outside the lock
}

void UploadGate::keepFresh(std::chrono::milliseconds period) {
  bool failing = false;
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, period, [this] { return stopping_; })) {
    lock.unlock();
    try {
      refreshTokens();
      if (failing) logMessage("upload tokens read again");
      failing = false;
    } catch (const std::exception& failure) {
      if (!failing)
        logMessage(std::string("cannot read the upload tokens, keeping the last ones: ") + failure.what());
      failing = true;
    }
    lock.lock();
  }
}

std::optional<std::string> UploadGate::tokenNameByHash(const std::string& hash) {
  std::shared_lock lock(namesMutex_);
  auto found = names_.find(hash);
  if (found == names_.end()) return std::nullopt;
  return found->second;
}

Caller UploadGate::authenticate(const GateRequest& request, std::string_view tokenRequired) {
  if (request.authorization.empty()) {
    if (access_ == UploadAccess::token) throw unauthorised(std::string(tokenRequired));
    return {};
  }
  // A token that is given must be valid, even where anyone may upload.
  auto token = bearerToken(request.authorization);
  if (!token) throw unauthorised("Upload token not valid");
  std::string hash = tokenHash(*token);
  std::shared_lock lock(namesMutex_);
  auto found = names_.find(hash);
  if (found == names_.end()) throw unauthorised("Upload token not valid");
  return {found->second};
}

Caller UploadGate::admitUpload(const GateRequest& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, upload.tokenRequired);
  std::string key = caller.tokenName ? "token " + *caller.tokenName
                                     : "address " + addressGroup(std::string(request.clientAddress));
  if (auto wait = uploads_.charge(key, request.bodyBytes, now)) throw tooMany(upload, *wait);
  return caller;
}

Caller UploadGate::admitFeedback(const GateRequest& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, feedback.tokenRequired);
  if (auto wait = feedback_.charge(addressGroup(std::string(request.clientAddress)), 0, now))
    throw tooMany(feedback, *wait);
  return caller;
}

} // namespace glimor::server
