#pragma once
#include "config.h"

#include <boost/asio/ssl/context.hpp>
#include <memory>
#include <mutex>

namespace glimor::server {

// The server side of HTTPS: TLS 1.2 or newer (1.2 with forward-secret AEAD
// suites only), with the certificate chain and
// private key from `files`. Throws Error naming the flag and file when a file
// cannot be read, holds no certificate or key, or the key does not belong to
// the certificate.
boost::asio::ssl::context makeTlsContext(const TlsFiles& files);

// The context new connections are made with. reload() reads the files again,
// so a renewed certificate needs no restart; connections keep the context they
// began with. Thread-safe.
class TlsContexts {
public:
  using Context = boost::asio::ssl::context;
  explicit TlsContexts(TlsFiles files)
      : files_(std::move(files)), current_(std::make_shared<Context>(makeTlsContext(files_))) {}

  std::shared_ptr<Context> current() {
    std::lock_guard lock(mutex_);
    return current_;
  }

  // Logs the outcome; files that fail to load leave the current pair in use.
  void reload();

private:
  const TlsFiles files_;
  std::mutex mutex_;
  std::shared_ptr<Context> current_;
};

} // namespace glimor::server
