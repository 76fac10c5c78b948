#include "tls_context.h"

#include "platform/error.h"
#include "request_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace glimor::server {

namespace asio = boost::asio;

namespace {

// Certificates and keys are a few kilobytes; anything far larger is the wrong file.
constexpr std::size_t maxPemFileSize = 1 << 20;

std::string readPemFile(const std::string& flag, const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) throw Error(flag + ": cannot read " + path + ": " + std::strerror(errno));
  std::string text;
  char chunk[8192];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get())) {
    text.append(chunk, n);
    if (text.size() > maxPemFileSize) throw Error(flag + ": " + path + " is too large for a PEM file");
  }
  if (std::ferror(file.get())) throw Error(flag + ": cannot read " + path + ": " + std::strerror(errno));
  return text;
}

// The service starts unattended, so an encrypted key is refused rather than
// asked for its passphrase on the terminal.
int noPassphrase(char*, int, int, void*) {
  return 0;
}

std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> parsePrivateKey(const std::string& path,
                                                               const std::string& pem) {
  std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                          BIO_free);
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(
      bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr, EVP_PKEY_free);
  ERR_clear_error();
  if (!key && pem.find("ENCRYPTED") != std::string::npos)
    throw Error("--tls-key: " + path + " is encrypted; give it without a passphrase");
  if (!key) throw Error("--tls-key: " + path + " holds no PEM private key");
  return key;
}

} // namespace

asio::ssl::context makeTlsContext(const TlsFiles& files) {
  std::string certificates = readPemFile("--tls-cert", files.certificateFile);
  std::string keyText = readPemFile("--tls-key", files.keyFile);

  asio::ssl::context context(asio::ssl::context::tls_server);
  SSL_CTX* handle = context.native_handle();
  context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                      asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                      asio::ssl::context::no_tlsv1_1);
  SSL_CTX_set_min_proto_version(handle, TLS1_2_VERSION);
  // TLS 1.2 only with ephemeral key exchange and AEAD ciphers; TLS 1.3 has nothing else.
  SSL_CTX_set_cipher_list(handle, "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
                                  "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
                                  "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305");
  // Renegotiation lets one client make the service repeat handshakes at will.
  SSL_CTX_set_options(handle, SSL_OP_NO_RENEGOTIATION);
#ifdef SSL_OP_ENABLE_KTLS
  // Where the kernel can encrypt, files go out with SSL_sendfile() (session_sendfile.cpp).
  SSL_CTX_set_options(handle, SSL_OP_ENABLE_KTLS);
#endif

  boost::system::error_code error;
  context.use_certificate_chain(asio::buffer(certificates), error);
  if (error) throw Error("--tls-cert: " + files.certificateFile + " holds no PEM certificate chain");

  auto key = parsePrivateKey(files.keyFile, keyText);
  bool matches = SSL_CTX_use_PrivateKey(handle, key.get()) == 1 && SSL_CTX_check_private_key(handle) == 1;
  ERR_clear_error();
  if (!matches)
    throw Error("--tls-key: the key in " + files.keyFile + " does not belong to the certificate in " +
                files.certificateFile);

  if (X509* leaf = SSL_CTX_get0_certificate(handle);
      leaf && X509_cmp_current_time(X509_get0_notAfter(leaf)) < 0)
    logMessage("warning: the certificate in " + files.certificateFile +
               " has expired; clients will refuse it");
  return context;
}

void TlsContexts::reload() {
  try {
    auto fresh = std::make_shared<Context>(makeTlsContext(files_));
    std::lock_guard lock(mutex_);
    current_ = std::move(fresh);
  } catch (const std::exception& failure) {
    logMessage(std::string("SIGHUP: keeping the previous certificate and key: ") + failure.what());
    return;
  }
  logMessage("SIGHUP: certificate and key reloaded from " + files_.certificateFile + " and " +
             files_.keyFile);
}

} // namespace glimor::server
