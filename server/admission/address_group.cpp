#include "address_group.h"

#include <algorithm>
#include <boost/asio/ip/address.hpp>

namespace glimor::server {

std::string addressGroup(const std::string& address) {
  namespace ip = boost::asio::ip;
  boost::system::error_code error;
  ip::address parsed = ip::make_address(address, error);
  if (error || parsed.is_v4()) return address;
  ip::address_v6 v6 = parsed.to_v6();
  if (v6.is_v4_mapped()) return ip::make_address_v4(ip::v4_mapped, v6).to_string();
  auto bytes = v6.to_bytes();
  std::fill(bytes.begin() + 8, bytes.end(), 0);
  return ip::address_v6(bytes).to_string() + "/64";
}

} // namespace glimor::server
