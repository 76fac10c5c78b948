#pragma once
#include <optional>
#include <string>

namespace glimor::server {

// The key that client addresses are limited by, for every limit alike
// (connections, body room, uploads, decoding): the address itself, an IPv6
// address's /64 (one subscriber's network), an IPv4-mapped address as IPv4.
std::string addressGroup(const std::string& address);

// The wider network an address belongs to, often one party's: an IPv4 address's /24 (an
// IPv4-mapped one's too), an IPv6 address's /48; none for a text that is no address.
std::optional<std::string> networkOf(const std::string& address);

} // namespace glimor::server
