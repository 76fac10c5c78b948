#pragma once
#include "http/client_config.h"
#include "http/url.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace glimor::http {

// The request line, the header lines (folded, in their fixed order, each only when its value is
// not empty) and the empty line that ends the head; every line ends with CR LF.
std::string buildRequestHead(const ClientConfig& config, const Url& url, std::size_t bodyLength,
                             std::string_view cookies);

} // namespace glimor::http
