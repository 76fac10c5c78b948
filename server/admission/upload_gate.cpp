#include "upload_gate.h"

#include "refusal.h"
#include "request_log.h"

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

UploadGate::UploadGate(const Config& config, TokenStore& tokens,
                       std::optional<std::chrono::milliseconds> refreshEvery)
    : access_(config.uploads), openToLoopbackOnly_(config.openToLoopbackOnly), tokens_(tokens),
      uploads_(config.uploadsPerMinute, config.uploadBytesPerDay), feedback_(config.feedbackPerMinute, 0) {
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
    if (access_ == UploadAccess::token || (openToLoopbackOnly_ && request.fromOutside))
      throw unauthorised(std::string(tokenRequired));
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

std::string UploadGate::uploadKey(const Caller& caller, std::string_view clientAddress) {
  return caller.tokenName ? "token " + *caller.tokenName
                          : "address " + addressGroup(std::string(clientAddress));
}

Caller UploadGate::admitUpload(const GateRequest& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, upload.tokenRequired);
  if (auto wait = uploads_.wait(uploadKey(caller, request.clientAddress), request.bodyBytes, now))
    throw tooMany(upload, *wait);
  return caller;
}

void UploadGate::countUpload(const Caller& caller, std::string_view clientAddress, std::uint64_t bytes,
                             RateLimiter::Clock::time_point now) {
  if (auto wait = uploads_.charge(uploadKey(caller, clientAddress), bytes, now)) throw tooMany(upload, *wait);
}

Caller UploadGate::admitFeedback(const GateRequest& request, RateLimiter::Clock::time_point now) {
  Caller caller = authenticate(request, feedback.tokenRequired);
  if (auto wait = feedback_.wait(addressGroup(std::string(request.clientAddress)), 0, now))
    throw tooMany(feedback, *wait);
  return caller;
}

void UploadGate::countFeedback(std::string_view clientAddress, RateLimiter::Clock::time_point now) {
  if (auto wait = feedback_.charge(addressGroup(std::string(clientAddress)), 0, now))
    throw tooMany(feedback, *wait);
}

} // namespace glimor::server
