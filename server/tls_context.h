#pragma once
#include "config.h"

#include <boost/asio/ssl/context.hpp>

namespace glimor::server {

// The server side of HTTPS: TLS 1.2 or newer, with the certificate chain and
// private key from `files`. Throws Error naming the flag and file when a file
// cannot be read, holds no certificate or key, or the key does not belong to
// the certificate.
boost::asio::ssl::context makeTlsContext(const TlsFiles& files);

} // namespace glimor::server
