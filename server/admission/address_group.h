#pragma once
#include <string>

namespace glimor::server {

// The key that client addresses are limited by, for every limit alike
// (connections, body room, uploads, decoding): the address itself, an IPv6
// address's /64 (one subscriber's network), an IPv4-mapped address as IPv4.
std::string addressGroup(const std::string& address);

} // namespace glimor::server
