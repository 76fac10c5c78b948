#pragma once
#include "http/tls_engine.h"
#include "platform/socket.h"

#include <chrono>
#include <memory>
#include <string>

namespace glimor::http {

// The most plain text one record carries, whatever more an engine allows (the TLS maximum).
inline constexpr std::size_t largestRecordPlain = 16384;

// Runs the handshake of `engine` with `host` over `tcp` within `timeLimit` and returns the
// connection that carries plain bytes over it, bounded as the TCP connection is. During the
// handshake an expired wait fails with socket error 10060 and a close with "TLS handshake with
// <host> failed: the service closed the connection."; once secured, a close without close_notify
// fails reading with platform::cutOffText.
std::unique_ptr<platform::Connection> secureOver(std::unique_ptr<TlsEngine> engine,
                                                 std::unique_ptr<platform::Connection> tcp,
                                                 const std::string& host,
                                                 std::chrono::milliseconds timeLimit);

} // namespace glimor::http
