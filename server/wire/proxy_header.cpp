#include "proxy_header.h"

#include <algorithm>
#include <array>
#include <boost/asio/ip/address.hpp>
#include <charconv>

namespace glimor::server {
namespace {

namespace ip = boost::asio::ip;
using State = ProxyHeader::State;

constexpr std::string_view textSignature = "PROXY ";
constexpr std::string_view binarySignature{"\r\n\r\n\0\r\nQUIT\n", 12};
constexpr std::size_t maxTextLength = 107;

ProxyHeader invalid() {
  return {State::invalid, 0, std::nullopt};
}

// Whether `bytes` could still become `signature` as more arrive.
bool startsLike(std::string_view bytes, std::string_view signature) {
  std::size_t n = std::min(bytes.size(), signature.size());
  return bytes.substr(0, n) == signature.substr(0, n);
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> result;
  while (true) {
    std::size_t space = line.find(' ');
    result.push_back(line.substr(0, space));
    if (space == std::string_view::npos) return result;
    line.remove_prefix(space + 1);
  }
}

bool isPort(std::string_view text) {
  unsigned value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && text.size() <= 5 && error == std::errc() && end == text.data() + text.size() &&
         value <= 65535;
}

// "PROXY TCP4 192.0.2.1 198.51.100.1 56324 443\r\n"
ProxyHeader parseText(std::string_view bytes) {
  std::size_t end = bytes.substr(0, maxTextLength).find("\r\n");
  if (end == std::string_view::npos) return bytes.size() >= maxTextLength ? invalid() : ProxyHeader{};
  auto parts = fields(bytes.substr(textSignature.size(), end - textSignature.size()));
  ProxyHeader header{State::complete, end + 2, std::nullopt};
  if (parts[0] == "UNKNOWN") return header;
  if (parts.size() != 5 || (parts[0] != "TCP4" && parts[0] != "TCP6") || !isPort(parts[3]) ||
      !isPort(parts[4]))
    return invalid();
  boost::system::error_code error;
  for (std::string_view text : {parts[1], parts[2]}) {
    ip::address address = ip::make_address(std::string(text), error);
    if (error || address.is_v4() != (parts[0] == "TCP4")) return invalid();
  }
  header.clientAddress = std::string(parts[1]);
  return header;
}

// 12 bytes of signature, version and command, family, length (big-endian),
// then the addresses and any extensions.
ProxyHeader parseBinary(std::string_view bytes) {
  if (bytes.size() < 16) return {};
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned version = byte(12) >> 4, command = byte(12) & 0x0f, family = byte(13);
  std::size_t length = byte(14) << 8 | byte(15);
  if (version != 2 || command > 1 || 16 + length > maxProxyHeaderBytes) return invalid();
  if (bytes.size() < 16 + length) return {};
  ProxyHeader header{State::complete, 16 + length, std::nullopt};
  if (command == 0) return header; // LOCAL: the proxy's own connection, e.g. a health check
  if (family == 0x11 && length >= 12) {
    ip::address_v4::bytes_type address;
    std::copy_n(bytes.begin() + 16, address.size(), address.begin());
    header.clientAddress = ip::address_v4(address).to_string();
  } else if (family == 0x21 && length >= 36) {
    ip::address_v6::bytes_type address;
    std::copy_n(bytes.begin() + 16, address.size(), address.begin());
    header.clientAddress = ip::address_v6(address).to_string();
  } else {
    return invalid();
  }
  return header;
}

std::string unmapped(const std::string& address) {
  boost::system::error_code error;
  ip::address parsed = ip::make_address(address, error);
  if (error) return address;
  if (parsed.is_v6() && parsed.to_v6().is_v4_mapped())
    return ip::make_address_v4(ip::v4_mapped, parsed.to_v6()).to_string();
  return parsed.to_string();
}

} // namespace

ProxyHeader parseProxyHeader(std::string_view bytes) {
  if (bytes.empty()) return {};
  if (startsLike(bytes, textSignature))
    return bytes.size() < textSignature.size() ? ProxyHeader{} : parseText(bytes);
  if (startsLike(bytes, binarySignature)) return bytes.size() < 12 ? ProxyHeader{} : parseBinary(bytes);
  return invalid();
}

bool isTrustedProxy(const std::vector<std::string>& trusted, const std::string& address) {
  std::string client = unmapped(address);
  return std::any_of(trusted.begin(), trusted.end(),
                     [&](const std::string& proxy) { return unmapped(proxy) == client; });
}

} // namespace glimor::server
