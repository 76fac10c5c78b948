#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// True for "host" or "host:port" as it may appear on a Host line: a DNS name,
// an IPv4 address or a bracketed IPv6 address, optionally with a port. Such a
// text cannot carry spaces, line breaks or "Link: ", so it is safe to echo in
// the upload answer.
bool isValidHost(std::string_view host);

// The start of every link the service hands out, scheme + "://" + host + "/":
// the configured public URL when there is one, else the Host line exactly as
// the client sent it (Glimor opens only links that begin with its own base
// URL), else the address the connection arrived at. `scheme` is the one the
// request arrived with, "http" or "https". Throws Refusal 400 for a Host line
// that is not a host.
std::string linkBase(const std::optional<std::string>& publicUrl, std::string_view scheme,
                     std::optional<std::string_view> hostLine, std::string_view localAddress);

} // namespace glimor::server
