#pragma once
#include "http/client_config.h"
#include "http/url.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimor::http {

// What one request may change of what its client object announces.
struct RequestShape {
  std::string method = "POST";
  std::optional<std::string> contentType; // none: the client's; empty: no Content-Type line
  // Sent as written (never folded) after the client's lines, which they replace when they have the
  // same name (any letter case). The caller has checked that they hold no line break.
  std::vector<std::pair<std::string, std::string>> headers;
};

// The request line, the header lines (folded, in their fixed order, each only when its value is
// not empty) and the empty line that ends the head; every line ends with CR LF. A GET without a
// body announces no Content-Length.
std::string buildRequestHead(const ClientConfig& config, const Url& url, std::size_t bodyLength,
                             std::string_view cookies, const RequestShape& shape = {});

} // namespace glimor::http
