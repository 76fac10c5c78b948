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
};

// A new token: 256 random bits from libsodium in URL-safe base64 (43 characters).
std::string newUploadToken();

// What is stored of a token. A token carries enough entropy that a plain
// SHA-256 cannot be reversed by guessing.
std::string tokenHash(std::string_view token);

// 1 to 64 letters, digits, '.', '_', '-' or '@': shown in lists and logs.
bool isValidTokenName(std::string_view name);

} // namespace glimor::server
