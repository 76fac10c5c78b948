#include "deletion_secret.h"

#include "platform/error.h"
#include "sha256.h"

#include <array>
#include <sodium.h>

namespace glimor::server {

std::string newDeletionSecret() {
  if (sodium_init() < 0) throw Error("Cannot initialise libsodium for random bytes");
  std::array<unsigned char, deletionSecretLength * 6 / 8> random{};
  randombytes_buf(random.data(), random.size());
  char text[deletionSecretLength + 1];
  sodium_bin2base64(text, sizeof text, random.data(), random.size(),
                    sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  return std::string(text, deletionSecretLength);
}

bool isDeletionSecret(std::string_view text) {
  if (text.size() != deletionSecretLength) return false;
  for (char c : text)
    if (!(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != '-' && c != '_')
      return false;
  return true;
}

std::string deletionSecretHash(std::string_view secret) {
  return sha256Hex(secret);
}

bool deletionSecretMatches(std::string_view secret, std::string_view storedHash) {
  std::string hash = deletionSecretHash(secret);
  return storedHash.size() == hash.size() && sodium_memcmp(hash.data(), storedHash.data(), hash.size()) == 0;
}

} // namespace glimor::server
