#include "sha256.h"

#include "platform/error.h"

#include <openssl/evp.h>

namespace glimor::server {

std::string sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
    throw Error("SHA-256 failed");
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += digits[digest[i] >> 4];
    hex += digits[digest[i] & 0xf];
  }
  return hex;
}

} // namespace glimor::server
