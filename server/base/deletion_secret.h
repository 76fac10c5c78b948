#pragma once
#include <string>
#include <string_view>

namespace glimor::server {

// Each upload gets its own deletion secret: 144 random bits as 24 URL-safe
// base64 characters, handed to the uploader once in its deletion link. Only
// its hash is stored, so the database alone cannot delete anything.
inline constexpr std::size_t deletionSecretLength = 24;

// Throws Error when the system cannot supply random bytes.
std::string newDeletionSecret();

bool isDeletionSecret(std::string_view text);

// SHA-256 of the secret as 64 hex digits, as the store keeps it.
std::string deletionSecretHash(std::string_view secret);

// True when `secret` hashes to `storedHash`; compared in constant time.
bool deletionSecretMatches(std::string_view secret, std::string_view storedHash);

} // namespace glimor::server
