#include "http/url.h"

#include "platform/ascii_case.h"
#include "platform/error.h"

namespace glimor::http {
namespace {

std::uint16_t parsePort(std::string_view text, std::string_view url) {
  unsigned value = 0;
  bool valid = !text.empty() && text.size() <= 5;
  for (char c : text) {
    if (c < '0' || c > '9')
      valid = false;
    else
      value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!valid || value == 0 || value > 65535) throw Error("Invalid port in URL: " + std::string(url));
  return static_cast<std::uint16_t>(value);
}

} // namespace

bool Url::secure() const {
  return ascii::equalsIgnoringCase(protocol, "https");
}

Url splitUrl(std::string_view url) {
  const std::string_view whole = url;
  Url result;
  url = url.substr(0, url.find('#'));

  std::size_t schemeEnd = url.find("://");
  result.protocol = schemeEnd == std::string_view::npos ? "http" : std::string(url.substr(0, schemeEnd));
  if (!ascii::equalsIgnoringCase(result.protocol, "http") &&
      !ascii::equalsIgnoringCase(result.protocol, "https"))
    throw Error("Protocol not supported: " + result.protocol);
  result.port = result.defaultPort();
  if (schemeEnd != std::string_view::npos) url.remove_prefix(schemeEnd + 3);

  std::size_t authorityEnd = url.find_first_of("/?");
  std::string_view authority = url.substr(0, authorityEnd);
  url.remove_prefix(authority.size());
  std::size_t colon = authority.find(':');
  result.host = std::string(authority.substr(0, colon));
  if (colon != std::string_view::npos) result.port = parsePort(authority.substr(colon + 1), whole);

  std::size_t queryStart = url.find('?');
  std::string_view fullPath = url.substr(0, queryStart);
  if (queryStart != std::string_view::npos) result.query = std::string(url.substr(queryStart));
  std::size_t lastSlash = fullPath.rfind('/');
  if (lastSlash == std::string_view::npos) {
    result.path.assign(1, '/');
    result.document = std::string(fullPath);
  } else {
    result.path = std::string(fullPath.substr(0, lastSlash + 1));
    result.document = std::string(fullPath.substr(lastSlash + 1));
  }
  return result;
}

} // namespace glimor::http
