#pragma once
#include "address_group.h"
#include "config.h"
#include "http_types.h"
#include "rate_limiter.h"
#include "token_store.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace glimor::server {

// What the gate looks at: all of it known once a request's head is in.
struct GateRequest {
  std::string_view authorization; // the Authorization line, e.g. "Bearer TOKEN"
  std::string_view clientAddress;
  std::uint64_t bodyBytes = 0; // counted against the daily byte quota
  // The head shows that the request came from another computer through a proxy
  // (see Config::openToLoopbackOnly).
  bool fromOutside = false;
};

// Decides who may upload and send feedback, and how often: the token on the
// request's Authorization line (required with --uploads token, and from
// outside where uploads are open to loopback only; checked whenever one is
// given), then the limits of the token, or of the client's
// address without one. Refusals are thrown as Refusal: 401 with
// WWW-Authenticate, 429 with Retry-After. Every token is kept in memory and
// read from the store again in the background, so no decision waits for the
// store (which may be another machine). Thread-safe.
class UploadGate {
public:
  // Reads the tokens once (throws what the store throws); with `refreshEvery`,
  // a thread reads them again at that period, so a token revoked through
  // another process stops working within it. Without, refreshTokens() does.
  UploadGate(const Config& config, TokenStore& tokens,
             std::optional<std::chrono::milliseconds> refreshEvery = std::chrono::seconds(1));
  ~UploadGate();
  UploadGate(const UploadGate&) = delete;
  UploadGate& operator=(const UploadGate&) = delete;

  // The decision on a head: its token, and whether the limits take one more
  // now. Nothing is counted, so a head whose body never comes costs nothing.
  Caller admitUpload(const GateRequest& request, RateLimiter::Clock::time_point now);
  Caller admitFeedback(const GateRequest& request, RateLimiter::Clock::time_point now);

  // Counts an admitted request once its body (`bytes`) has come; throws the
  // 429 when others used up the limits meanwhile.
  void countUpload(const Caller& caller, std::string_view clientAddress, std::uint64_t bytes,
                   RateLimiter::Clock::time_point now);
  void countFeedback(std::string_view clientAddress, RateLimiter::Clock::time_point now);

  // The name of the token whose hash is `hash`, as last read from the store;
  // nothing for a token unknown or revoked.
  std::optional<std::string> tokenNameByHash(const std::string& hash);

  // Reads every token from the store; throws what the store throws and then
  // keeps the tokens it had.
  void refreshTokens();

private:
  using Names = std::unordered_map<std::string, std::string>; // by hash

  // `tokenRequired`: the refusal's words when no token is given where one is required.
  Caller authenticate(const GateRequest& request, std::string_view tokenRequired);
  // Uploads count per token, or per address group without one.
  static std::string uploadKey(const Caller& caller, std::string_view clientAddress);
  void keepFresh(std::chrono::milliseconds period);

  const UploadAccess access_;
  const bool openToLoopbackOnly_;
  TokenStore& tokens_;
  std::shared_mutex namesMutex_;
  Names names_;
  std::mutex mutex_; // for stopping_
  RateLimiter uploads_;
  RateLimiter feedback_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread refresher_;
};

} // namespace glimor::server
