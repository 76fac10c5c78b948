#include "http/cookie_store.h"

#include "http/answer_head.h"
#include "platform/ascii_case.h"

#include <algorithm>

namespace glimor::http {
namespace {

bool expiresNow(std::string_view attributes) {
  while (!attributes.empty()) {
    std::size_t end = attributes.find(';');
    std::string_view attribute = trimBlanks(attributes.substr(0, end));
    std::size_t equals = attribute.find('=');
    if (equals != std::string_view::npos &&
        ascii::equalsIgnoringCase(trimBlanks(attribute.substr(0, equals)), "max-age")) {
      std::string_view age = trimBlanks(attribute.substr(equals + 1));
      if (age == "0" || (!age.empty() && age.front() == '-')) return true;
    }
    if (end == std::string_view::npos) break;
    attributes.remove_prefix(end + 1);
  }
  return false;
}

} // namespace

void CookieStore::store(std::string_view host, std::string_view setCookie) {
  if (setCookie.size() > maxCookieSize) return;
  std::size_t end = setCookie.find(';');
  std::string_view pair = trimBlanks(setCookie.substr(0, end));
  std::size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return;
  std::string name(trimBlanks(pair.substr(0, equals)));
  std::string value(trimBlanks(pair.substr(equals + 1)));
  if (name.empty()) return;
  bool remove = value.empty() || (end != std::string_view::npos && expiresNow(setCookie.substr(end + 1)));

  auto same = [&](const Cookie& c) { return c.name == name && ascii::equalsIgnoringCase(c.host, host); };
  auto found = std::find_if(cookies_.begin(), cookies_.end(), same);
  if (remove) {
    if (found != cookies_.end()) cookies_.erase(found);
  } else if (found != cookies_.end()) {
    found->value = std::move(value);
  } else if (cookies_.size() < maxCookies) {
    cookies_.push_back({std::string(host), std::move(name), std::move(value)});
  }
}

std::string CookieStore::cookieHeaderFor(std::string_view host) const {
  std::string header;
  for (const Cookie& cookie : cookies_) {
    if (!ascii::equalsIgnoringCase(cookie.host, host)) continue;
    if (!header.empty()) header += "; ";
    header += cookie.name + "=" + cookie.value;
  }
  return header;
}

} // namespace glimor::http
