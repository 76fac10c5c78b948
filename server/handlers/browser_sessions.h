#pragma once
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

class TokenStore;

// Who a browser is on the page of one's uploads: the session its cookie names.
struct BrowserSession {
  std::string tokenHash; // the upload token's hash, looked up again on every request
  std::string tokenName;
  std::string csrf; // the value every form of the session carries
};

// The browser sessions of the page of one's uploads, kept in the token store
// (SQLite or PostgreSQL), so that every node on it honours them and revoking
// a token ends them everywhere. A cookie holds a random session id, never the
// token; only the id's hash is kept. Sessions are bounded in time (`lifetime`
// from the sign-in) and in number (`maxSessions` in all, `maxPerToken` for one
// token: past either, the oldest goes). Thread-safe as the store is.
class BrowserSessions {
public:
  using Clock = std::chrono::system_clock; // the nodes' common clock
  static constexpr std::chrono::hours lifetime{8};
  static constexpr std::size_t maxSessions = 4096;
  static constexpr std::size_t maxPerToken = 16;

  explicit BrowserSessions(TokenStore& store) : store_(store) {}

  // A new session for the token; returns its id for the cookie.
  std::string open(const std::string& tokenHash, const std::string& tokenName, Clock::time_point now);
  // The session the id names, unless unknown or expired.
  std::optional<BrowserSession> find(std::string_view id, Clock::time_point now);
  void close(std::string_view id);

private:
  TokenStore& store_;
};

// True when `given` is `expected`, compared in constant time.
bool sameSecret(std::string_view given, std::string_view expected);

} // namespace glimor::server
