#include "image_id.h"

#include "platform/error.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace glimor::server {
namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

} // namespace

std::string newImageId() {
  std::array<unsigned char, imageIdLength * 6 / 8> random{};
  std::size_t filled = 0;
  while (filled < random.size()) {
    ssize_t got = getrandom(random.data() + filled, random.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Error(std::string("Cannot get random bytes: ") + std::strerror(errno));
    }
    filled += static_cast<std::size_t>(got);
  }
  // Each 3 bytes become 4 characters of 6 bits.
  std::string id;
  id.reserve(imageIdLength);
  for (std::size_t i = 0; i < random.size(); i += 3) {
    std::uint32_t group = random[i] << 16 | random[i + 1] << 8 | random[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) id += alphabet[(group >> shift) & 0x3f];
  }
  return id;
}

bool isImageId(std::string_view text) {
  if (text.size() != imageIdLength) return false;
  for (char c : text)
    if (alphabet.find(c) == std::string_view::npos) return false;
  return true;
}

} // namespace glimor::server
