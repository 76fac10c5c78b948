#include "links.h"

namespace glimor::server::links {
namespace {
std::string relative(std::string_view prefix, std::string_view rest) {
  return std::string(prefix.substr(1)) + std::string(rest);
}
} // namespace

std::string imagePath(std::string_view id, std::string_view extension) {
  return relative(imagePrefix, std::string(id) + "." + std::string(extension));
}

std::string thumbnailPath(std::string_view id) {
  return relative(thumbnailPrefix, std::string(id) + ".jpg");
}

std::string deletionPath(std::string_view id, std::string_view secret) {
  return relative(deletionPrefix, std::string(id) + "/" + std::string(secret));
}

std::string pagePath(std::string_view id) {
  return relative(pagePrefix, id);
}

std::string_view afterPrefix(std::string_view path) {
  static_assert(imagePrefix.size() == 3 && thumbnailPrefix.size() == 3 && deletionPrefix.size() == 3 &&
                pagePrefix.size() == 3);
  return path.substr(imagePrefix.size());
}

} // namespace glimor::server::links
