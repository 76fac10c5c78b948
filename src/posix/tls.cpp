// TLS for the native build through OpenSSL. The library works on memory buffers and this file
// moves their bytes over the program's own Connection, so every wait keeps its bound.
#include "platform/tls.h"

#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/tls_error.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace glimor::platform {
namespace {

using std::chrono::milliseconds;

std::string lastLibraryError() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "the connection was closed";
  std::array<char, 256> text{};
  ERR_error_string_n(code, text.data(), text.size());
  // "error:0A000410:SSL routines::ssl/tls alert handshake failure": the part after the last colon.
  std::string_view whole(text.data());
  return std::string(whole.substr(whole.rfind(':') + 1));
}

bool isIpAddress(const std::string& host) {
  std::array<unsigned char, 16> address{};
  return inet_pton(AF_INET, host.c_str(), address.data()) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address.data()) == 1;
}

// Every certificate of a PEM file, or the one of a DER file.
std::vector<X509*> readAnchors(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error(tls_error::unreadableAnchor(path));
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Error(tls_error::unreadableAnchor(path));
  std::vector<X509*> certificates;
  BIO* pem = BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size()));
  while (X509* certificate = PEM_read_bio_X509(pem, nullptr, nullptr, nullptr))
    certificates.push_back(certificate);
  BIO_free(pem);
  if (certificates.empty()) {
    const unsigned char* at = bytes.data();
    if (X509* certificate = d2i_X509(nullptr, &at, static_cast<long>(bytes.size())))
      certificates.push_back(certificate);
  }
  ERR_clear_error();
  if (certificates.empty()) throw Error(tls_error::noCertificateInAnchor(path));
  return certificates;
}

std::string verifyFailure(long result, const std::string& host) {
  using tls_error::Certificate;
  std::string detail = X509_verify_cert_error_string(result);
  switch (result) {
  case X509_V_ERR_HOSTNAME_MISMATCH:
  case X509_V_ERR_IP_ADDRESS_MISMATCH:
    return tls_error::certificate(Certificate::OtherHost, host);
  case X509_V_ERR_CERT_HAS_EXPIRED:
  case X509_V_ERR_CERT_NOT_YET_VALID:
    return tls_error::certificate(Certificate::Expired, host);
  case X509_V_ERR_CERT_REVOKED:
    return tls_error::certificate(Certificate::Revoked, host);
  default:
    return tls_error::certificate(Certificate::Untrusted, host, detail);
  }
}

struct ContextDeleter {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

class OpenSslConnection final : public Connection {
public:
  // The SSL object holds its own reference to `context`.
  OpenSslConnection(std::unique_ptr<Connection> tcp, SSL_CTX* context, std::string host)
      : tcp_(std::move(tcp)), host_(std::move(host)), ssl_(SSL_new(context)) {
    if (!ssl_) throw Error(tls_error::handshake(host_, lastLibraryError()));
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_, in, out);
    in_ = in;
    out_ = out;
  }
  ~OpenSslConnection() override { SSL_free(ssl_); }

  void handshake(milliseconds timeLimit) {
    SSL_set_connect_state(ssl_);
    X509_VERIFY_PARAM* check = SSL_get0_param(ssl_);
    if (isIpAddress(host_)) {
      X509_VERIFY_PARAM_set1_ip_asc(check, host_.c_str());
    } else {
      X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      X509_VERIFY_PARAM_set1_host(check, host_.c_str(), 0);
      SSL_set_tlsext_host_name(ssl_, host_.c_str());
    }
    const Deadline end(timeLimit);
    for (;;) {
      int result = SSL_connect(ssl_);
      flush(end);
      if (result == 1) return;
      int error = SSL_get_error(ssl_, result);
      if (error == SSL_ERROR_WANT_READ) {
        if (!pull(end)) throw Error(socketErrorMessage(wsa::timedOut));
        if (tcpClosed_) throw Error(tls_error::handshake(host_, "the service closed the connection"));
        continue;
      }
      long verified = SSL_get_verify_result(ssl_);
      if (verified != X509_V_OK) {
        ERR_clear_error();
        throw Error(verifyFailure(verified, host_));
      }
      throw Error(tls_error::handshake(host_, lastLibraryError()));
    }
  }

  void send(std::span<const std::uint8_t> bytes, milliseconds timeLimit) override {
    const Deadline end(timeLimit);
    constexpr std::size_t record = 16384;
    while (!bytes.empty()) {
      std::size_t piece = std::min(bytes.size(), record), written = 0;
      // The memory buffer takes everything, so a write never waits for the network.
      if (SSL_write_ex(ssl_, bytes.data(), piece, &written) != 1) throw Error(lastLibraryError());
      bytes = bytes.subspan(written);
    }
    flush(end);
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, milliseconds wait) override {
    const Deadline end(wait);
    for (;;) {
      std::size_t got = 0;
      int result = SSL_read_ex(ssl_, into.data(), into.size(), &got);
      if (result == 1) return got;
      int error = SSL_get_error(ssl_, result);
      if (error == SSL_ERROR_ZERO_RETURN) return 0;
      if (error != SSL_ERROR_WANT_READ) throw Error(lastLibraryError());
      flush(end);
      // Closed under TLS without its close_notify: whatever was to follow may have been cut away.
      if (tcpClosed_) throw Error(std::string(platform::cutOffText));
      if (!pull(end)) return std::nullopt;
    }
  }

  void close() override { tcp_->close(); }

private:
  // Sends what the library has written into its outgoing buffer.
  void flush(const Deadline& end) {
    std::array<std::uint8_t, 65536> chunk;
    for (;;) {
      int n = BIO_read(out_, chunk.data(), static_cast<int>(chunk.size()));
      if (n <= 0) return;
      tcp_->send(std::span(chunk.data(), static_cast<std::size_t>(n)), end.left());
    }
  }

  // Moves what the network has into the library's incoming buffer; false when the wait expired.
  bool pull(const Deadline& end) {
    std::array<std::uint8_t, 32768> chunk;
    std::optional<std::size_t> got = tcp_->receive(chunk, end.left());
    if (!got) return false;
    if (*got == 0)
      tcpClosed_ = true;
    else
      BIO_write(in_, chunk.data(), static_cast<int>(*got));
    return true;
  }

  std::unique_ptr<Connection> tcp_;
  std::string host_;
  SSL* ssl_;
  BIO* in_ = nullptr;
  BIO* out_ = nullptr;
  bool tcpClosed_ = false;
};

// One context per trust anchor file, made at its first use: loading the system's trust store
// costs more than a handshake.
class OpenSslTls final : public Tls {
public:
  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> tcp, const std::string& host,
                                     const std::string& trustAnchorFile, milliseconds timeLimit) override {
    auto connection =
        std::make_unique<OpenSslConnection>(std::move(tcp), contextFor(trustAnchorFile, host), host);
    connection->handshake(timeLimit);
    return connection;
  }

private:
  SSL_CTX* contextFor(const std::string& trustAnchorFile, const std::string& host) {
    std::lock_guard lock(mutex_);
    auto& context = contexts_[trustAnchorFile];
    if (context) return context.get();
    std::unique_ptr<SSL_CTX, ContextDeleter> made(SSL_CTX_new(TLS_client_method()));
    if (!made) throw Error(tls_error::handshake(host, lastLibraryError()));
    SSL_CTX_set_min_proto_version(made.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(made.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(made.get());
    if (!trustAnchorFile.empty()) {
      X509_STORE* store = SSL_CTX_get_cert_store(made.get());
      for (X509* anchor : readAnchors(trustAnchorFile)) {
        X509_STORE_add_cert(store, anchor);
        X509_free(anchor);
      }
      // A self-signed service certificate named as the anchor is trusted as it stands.
      X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
    }
    ERR_clear_error();
    context = std::move(made);
    return context.get();
  }

  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<SSL_CTX, ContextDeleter>> contexts_;
};

} // namespace

Tls& systemTls() {
  static OpenSslTls tls;
  return tls;
}

} // namespace glimor::platform
