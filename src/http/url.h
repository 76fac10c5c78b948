#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace glimor::http {

// A URL as the client takes it apart. The request line puts path + document + query back
// together exactly as written (no percent-encoding); a fragment is never sent.
struct Url {
  std::string protocol; // "http" or "https" as written; "http" when the URL names none
  std::string host;
  std::uint16_t port = 80; // 443 when an https URL names none
  std::string path;        // up to and including the last '/' before the query
  std::string document;    // the rest of the path
  std::string query;       // from '?' on, with its '?'; empty when there is none

  bool secure() const; // https: TLS under the same HTTP bytes
  std::uint16_t defaultPort() const { return secure() ? 443 : 80; }
};

// Throws Error for a port that is not a number from 1 to 65535 and for a protocol other than
// http and https.
Url splitUrl(std::string_view url);

} // namespace glimor::http
