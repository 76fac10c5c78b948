#include "token_store.h"

#include "platform/error.h"
#include "sha256.h"

#include <sodium.h>

namespace glimor::server {

std::string newUploadToken() {
  if (sodium_init() < 0) throw Error("libsodium could not be initialised");
  unsigned char random[32];
  randombytes_buf(random, sizeof random);
  constexpr int variant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
  std::string text(sodium_base64_ENCODED_LEN(sizeof random, variant), '\0');
  sodium_bin2base64(text.data(), text.size(), random, sizeof random, variant);
  text.resize(text.find('\0'));
  sodium_memzero(random, sizeof random);
  return text;
}

std::string tokenHash(std::string_view token) {
  return sha256Hex(token);
}

bool isValidTokenName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                   c == '_' || c == '-' || c == '@';
    if (!allowed) return false;
  }
  return true;
}

} // namespace glimor::server
