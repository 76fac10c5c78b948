#include "address_group.h"

#include <algorithm>
#include <boost/asio/ip/address.hpp>

namespace glimor::server {

namespace {
namespace ip = boost::asio::ip;

// The address, an IPv4-mapped IPv6 address as IPv4; none for a text that is no address.
std::optional<ip::address> unmapped(const std::string& text) {
  boost::system::error_code error;
  ip::address parsed = ip::make_address(text, error);
  if (error) return std::nullopt;
  if (parsed.is_v6() && parsed.to_v6().is_v4_mapped())
    return ip::make_address_v4(ip::v4_mapped, parsed.to_v6());
  return parsed;
}

// The network of the address's first `bytes` bytes, as "192.0.2.0/24".
template <class Address> std::string prefixOf(const Address& address, std::size_t bytes) {
  auto raw = address.to_bytes();
  std::fill(raw.begin() + static_cast<std::ptrdiff_t>(bytes), raw.end(), 0);
  return Address(raw).to_string() + "/" + std::to_string(8 * bytes);
}
} // namespace

std::string addressGroup(const std::string& address) {
  auto parsed = unmapped(address);
  if (!parsed) return address;
  return parsed->is_v4() ? parsed->to_string() : prefixOf(parsed->to_v6(), 8);
}

std::optional<std::string> networkOf(const std::string& address) {
  auto parsed = unmapped(address);
  if (!parsed) return std::nullopt;
  return parsed->is_v4() ? prefixOf(parsed->to_v4(), 3) : prefixOf(parsed->to_v6(), 6);
}

} // namespace glimor::server
