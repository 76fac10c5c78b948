// Drives the PROXY protocol header parser with arbitrary first bytes of a
// connection. Besides not crashing, a complete header must lie within the bytes
// and the size limit, name a real address, and read the same from its own bytes
// alone (what follows it is the client's, never part of the header).
#include "proxy_header.h"

#include <boost/asio/ip/address.hpp>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using glimor::server::ProxyHeader;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  ProxyHeader header = glimor::server::parseProxyHeader(input);
  if (header.state != ProxyHeader::State::complete) {
    if (header.clientAddress) std::abort();
    return 0;
  }
  if (header.length == 0 || header.length > input.size() ||
      header.length > glimor::server::maxProxyHeaderBytes)
    std::abort();
  if (header.clientAddress) {
    boost::system::error_code error;
    boost::asio::ip::make_address(*header.clientAddress, error);
    if (error) std::abort();
  }
  ProxyHeader alone = glimor::server::parseProxyHeader(input.substr(0, header.length));
  if (alone.state != ProxyHeader::State::complete || alone.length != header.length ||
      alone.clientAddress != header.clientAddress)
    std::abort();
  return 0;
}
