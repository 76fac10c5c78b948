#include "net/web_link.h"

#include "platform/ascii_case.h"

#include <algorithm>

namespace glimor::net {
namespace {

// The host of "host", "host:port" or "user@host:port"; a port must be digits.
bool namesAHost(std::string_view authority) {
  authority = authority.substr(authority.rfind('@') + 1); // npos + 1 == 0
  std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.find(']') == std::string_view::npos) {
    std::string_view port = authority.substr(colon + 1);
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    authority = authority.substr(0, colon);
  }
  return !authority.empty();
}

} // namespace

bool isWebLink(std::string_view text) {
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; }))
    return false;
  std::string_view rest;
  if (ascii::startsWithIgnoringCase(text, "http://"))
    rest = text.substr(7);
  else if (ascii::startsWithIgnoringCase(text, "https://"))
    rest = text.substr(8);
  else
    return false;
  return namesAHost(rest.substr(0, rest.find_first_of("/?#")));
}

} // namespace glimor::net
