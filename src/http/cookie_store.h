#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace glimor::http {

// The cookies a service has set, kept in memory per client object. A cookie is sent back to
// the host that set it (host names compared without regard to letter case) on every path;
// it is dropped when a later answer sets it again with Max-Age=0 or an empty value.
class CookieStore {
public:
  // Takes one Set-Cookie (or Set-Cookie2) value received from `host`.
  void store(std::string_view host, std::string_view setCookie);

  // "name=value; name2=value2" for a request to `host`; empty when there are none.
  std::string cookieHeaderFor(std::string_view host) const;

  // A hostile service cannot grow the store without bound.
  static constexpr std::size_t maxCookies = 50;
  static constexpr std::size_t maxCookieSize = 4096;

private:
  struct Cookie {
    std::string host;
    std::string name;
    std::string value;
  };
  std::vector<Cookie> cookies_;
};

} // namespace glimor::http
