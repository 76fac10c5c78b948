#include "public_link.h"

#include "refusal.h"

#include <algorithm>
#include <cctype>

namespace glimor::server {
namespace {

bool isValidPort(std::string_view port) {
  return !port.empty() && port.size() <= 5 &&
         std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

bool isValidHost(std::string_view host) {
  std::string_view name = host;
  std::string_view port;
  if (host.starts_with('[')) {
    std::size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    std::string_view inside = host.substr(1, close - 1);
    if (!std::all_of(inside.begin(), inside.end(),
                     [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }))
      return false;
    std::string_view after = host.substr(close + 1);
    if (after.empty()) return true;
    return after.starts_with(':') && isValidPort(after.substr(1));
  }
  if (std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
    if (!isValidPort(port)) return false;
  }
  if (name.empty() || name.size() > 253) return false;
  return std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_'; });
}

std::string linkBase(const std::optional<std::string>& publicUrl, std::string_view scheme,
                     std::optional<std::string_view> hostLine, std::string_view localAddress) {
  if (publicUrl) return *publicUrl + "/";
  std::string start = std::string(scheme) + "://";
  if (hostLine) {
    if (!isValidHost(*hostLine)) throw Refusal(400, "Host line is not a host name");
    return start + std::string(*hostLine) + "/";
  }
  return start + std::string(localAddress) + "/";
}

} // namespace glimor::server
