#pragma once
#include "platform/socket.h"

#include <chrono>
#include <memory>
#include <string>

namespace glimor::platform {

// TLS over an open connection: the system's own library (Schannel in Glimor.exe, OpenSSL natively).
class Tls {
public:
  virtual ~Tls() = default;

  // Runs the handshake for `host` over `tcp` within `timeLimit`, speaking TLS 1.2 or newer. The
  // certificate chain must lead to the system's trust store or to the certificate(s) in
  // `trustAnchorFile` (PEM or DER; empty for none), and the certificate must name `host`; there is
  // no way to turn either check off. The connection returned carries plain bytes as before, with
  // the same failure messages; a failed handshake or check throws Error saying what is wrong.
  virtual std::unique_ptr<Connection> secure(std::unique_ptr<Connection> tcp, const std::string& host,
                                             const std::string& trustAnchorFile,
                                             std::chrono::milliseconds timeLimit) = 0;
};

Tls& systemTls();

} // namespace glimor::platform
