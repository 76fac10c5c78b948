#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// The header a proxy such as nginx (`proxy_protocol on`) puts in front of a
// connection to name the client it forwards: version 1 ("PROXY TCP4 ...\r\n",
// text) or version 2 (binary).
struct ProxyHeader {
  enum class State { incomplete, invalid, complete };
  State state = State::incomplete;
  std::size_t length = 0; // bytes the header takes, once complete
  // The client's address; none for a connection the proxy makes itself
  // (LOCAL, UNKNOWN), which keeps the proxy's own address.
  std::optional<std::string> clientAddress;
};

// Longest header accepted: a version 1 line is at most 107 bytes, a version 2
// header 16 bytes plus its addresses and a few extensions.
inline constexpr std::size_t maxProxyHeaderBytes = 16 + 512;

// Reads a header from the first bytes of a connection; `incomplete` until
// enough of it has arrived.
ProxyHeader parseProxyHeader(std::string_view bytes);

// Whether a connection from `address` may send a header: one of `trusted`,
// IPv4-mapped IPv6 addresses taken as IPv4.
bool isTrustedProxy(const std::vector<std::string>& trusted, const std::string& address);

} // namespace glimor::server
