#pragma once
#include "http_types.h"

#include <string>
#include <string_view>

namespace glimor::server {

// A page of the service's own (the page of one's uploads, an upload's page).
// Its policy lets the browser load nothing but the service's own images and
// videos and the page's one style block and script, named by their hashes;
// the script may talk to the service alone, forms post only here, no other
// site may frame it.
struct HtmlPage {
  int status = 200;
  std::string title{};
  std::string head{};  // more of the head, right after the charset: what link previews read first
  std::string style{}; // the page's one style block
  std::string body{};  // all of the body
  std::string_view cacheControl = "no-store";
  std::string_view referrerPolicy = "same-origin"; // "no-referrer" where the address itself is a secret
  std::string_view script{}; // the page's one script, at the end of its body; none when empty
};

Response htmlResponse(const HtmlPage& page);

// The Content-Security-Policy source that allows exactly `text`: 'sha256-BASE64'.
std::string hashSource(std::string_view text);

} // namespace glimor::server
