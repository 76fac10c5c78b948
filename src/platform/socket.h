#pragma once
#include "platform/cancel_token.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace glimor::platform {

// What reading fails with when the peer ended the connection before what it sent was whole:
// an answer shorter than it announced, or a TLS connection closed without its close_notify.
inline constexpr std::string_view cutOffText = "The connection ended before the answer was complete.";

// One open TCP connection. Every failure throws Error with the program's socket
// message ("Socket Error # <WinSock number>" CR LF <text>), the same on every platform.
class Connection {
public:
  virtual ~Connection() = default;

  // Sends every byte within `timeLimit`, however the peer takes them; a longer wait fails with
  // socket error 10060.
  virtual void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit) = 0;

  // Waits at most `wait` for data, then reads what is there (up to `into.size()` bytes).
  // Returns the count, 0 when the peer has closed the connection, nothing when the wait expired.
  // A secured connection that the peer cut without ending TLS throws Error(cutOffText).
  virtual std::optional<std::size_t> receive(std::span<std::uint8_t> into,
                                             std::chrono::milliseconds wait) = 0;

  virtual void close() = 0;
};

// TCP over IPv4 as the HTTP client needs it.
class Network {
public:
  virtual ~Network() = default;

  // Resolves `host` ("LOCALHOST" in any letter case is 127.0.0.1; a dotted IPv4 address is
  // used as written) and connects, giving up after `timeLimit` with socket error 10060 (11002
  // when the name lookup is what took too long). `cancel` outlives the connection: once it is
  // cancelled, connecting, sending and receiving throw Cancelled within its check interval.
  virtual std::unique_ptr<Connection> connect(const std::string& host, std::uint16_t port,
                                              std::chrono::milliseconds timeLimit,
                                              const CancelToken& cancel) = 0;
};

// The operating system's sockets (POSIX natively, WinSock 2 in Glimor.exe).
Network& systemNetwork();

} // namespace glimor::platform
