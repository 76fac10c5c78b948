#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace glimor::server {

// An upload token as the operator sees it: never the token itself, which is
// shown once when it is made and kept only as its hash.
struct TokenRecord {
  std::string name;
  std::int64_t createdAt = 0; // seconds since 1970, UTC
};

// A browser signed in with a token on the page of one's uploads, kept under
// the hash of its id (never the id) so that every node honours it.
struct StoredSession {
  std::string tokenHash;
  std::string tokenName;
  std::string csrf;          // the value every form of the session carries
  std::int64_t openedAt = 0; // seconds since 1970, UTC
};

// The upload tokens, by name, with the SHA-256 of each token. Implementations
// are safe to use from several threads and see changes other processes make
// to the same store (`glimor-server token` while the service runs).
class TokenStore {
public:
  virtual ~TokenStore() = default;
  // Throws Error when a token of that name exists already.
  virtual void add(std::string_view name, std::string_view hash) = 0;
  virtual std::vector<TokenRecord> list() = 0; // by name
  // False when there was no token of that name.
  virtual bool revoke(std::string_view name) = 0;
  // Every token's name by its hash: the service keeps them all in memory and
  // reads them again each second, so no request waits for the store.
  virtual std::unordered_map<std::string, std::string> byHash() = 0;

  // The browser sessions that tokens signed in; revoke() ends a token's at once.
  // openSession() first forgets the sessions opened before `expiredBefore`,
  // then the oldest of the session's token and of all, so that with it there
  // are at most `maxPerToken` and `maxSessions`.
  virtual void openSession(std::string_view idHash, const StoredSession& session, std::int64_t expiredBefore,
                           std::size_t maxPerToken, std::size_t maxSessions) = 0;
  virtual std::optional<StoredSession> findSession(std::string_view idHash) = 0;
  virtual void closeSession(std::string_view idHash) = 0;
};

// A new token: 256 random bits from libsodium in URL-safe base64 (43 characters).
std::string newUploadToken();

// What is stored of a token. A token carries enough entropy that a plain
// SHA-256 cannot be reversed by guessing.
std::string tokenHash(std::string_view token);

// 1 to 64 letters, digits, '.', '_', '-' or '@': shown in lists and logs.
bool isValidTokenName(std::string_view name);

} // namespace glimor::server
