// TLS for the native build through OpenSSL. The library works on memory buffers whose bytes
// http::secureOver moves over the program's own Connection.
#include "platform/tls.h"

#include "http/tls_connection.h"

#include "platform/error.h"
#include "platform/tls_error.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <filesystem>
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

// A BIO that appends every record OpenSSL writes to the buffer set as its data, so records reach
// the pump without the second copy (and the growing) of a memory BIO.
BIO_METHOD* appendingBio() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "glimor records out");
    BIO_meth_set_create(made, [](BIO* bio) {
      BIO_set_init(bio, 1);
      return 1;
    });
    BIO_meth_set_write_ex(made, [](BIO* bio, const char* bytes, std::size_t size, std::size_t* written) {
      auto* output = static_cast<std::vector<std::uint8_t>*>(BIO_get_data(bio));
      if (!output) return 0;
      const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
      output->insert(output->end(), begin, begin + size);
      *written = size;
      return 1;
    });
    BIO_meth_set_ctrl(made, [](BIO*, int command, long, void*) -> long { return command == BIO_CTRL_FLUSH; });
    return made;
  }();
  return method;
}

struct ContextDeleter {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// OpenSSL over buffers: records in through the memory BIO `in_`, records out through `out_` straight
// into the pump's buffer.
class OpenSslEngine final : public http::TlsEngine {
public:
  // The SSL object holds its own reference to `context`.
  OpenSslEngine(SSL_CTX* context, const std::string& host) : host_(host), ssl_(SSL_new(context)) {
    if (!ssl_) throw Error(tls_error::handshake(host_, lastLibraryError()));
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(appendingBio());
    if (!in_ || !out_) {
      BIO_free(in_);
      BIO_free(out_);
      throw Error(tls_error::handshake(host_, lastLibraryError()));
    }
    SSL_set_bio(ssl_.get(), in_, out_);
    SSL_set_connect_state(ssl_.get());
    X509_VERIFY_PARAM* check = SSL_get0_param(ssl_.get());
    if (isIpAddress(host_)) {
      X509_VERIFY_PARAM_set1_ip_asc(check, host_.c_str());
    } else {
      X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      X509_VERIFY_PARAM_set1_host(check, host_.c_str(), 0);
      SSL_set_tlsext_host_name(ssl_.get(), host_.c_str());
    }
  }

  Handshake handshake(std::span<std::uint8_t> input, std::size_t& used, Bytes& output) override {
    used = give(input);
    const Writing writing(out_, output);
    const int result = SSL_connect(ssl_.get());
    if (result == 1) return Handshake::Done;
    if (SSL_get_error(ssl_.get(), result) == SSL_ERROR_WANT_READ) return Handshake::NeedInput;
    if (long verified = SSL_get_verify_result(ssl_.get()); verified != X509_V_OK) {
      ERR_clear_error();
      throw Error(verifyFailure(verified, host_));
    }
    throw Error(tls_error::handshake(host_, lastLibraryError()));
  }

  std::size_t maxRecordPlain() const override { return SSL3_RT_MAX_PLAIN_LENGTH; }

  void seal(std::span<const std::uint8_t> plain, Bytes& output) override {
    std::size_t written = 0;
    const Writing writing(out_, output);
    // The outgoing BIO takes everything, so a write never waits for the network.
    if (SSL_write_ex(ssl_.get(), plain.data(), plain.size(), &written) != 1) throw Error(lastLibraryError());
  }

  Opened open(std::span<std::uint8_t> input, std::size_t& used, Bytes& plain, Bytes& output) override {
    used = give(input);
    const Writing writing(out_, output);
    Opened opened = Opened::NeedInput;
    for (;;) {
      const std::size_t at = plain.size();
      plain.resize(at + SSL3_RT_MAX_PLAIN_LENGTH);
      std::size_t got = 0;
      const int result = SSL_read_ex(ssl_.get(), plain.data() + at, SSL3_RT_MAX_PLAIN_LENGTH, &got);
      plain.resize(at + got);
      if (result == 1) {
        opened = Opened::Plain;
        continue;
      }
      const int error = SSL_get_error(ssl_.get(), result);
      if (error == SSL_ERROR_WANT_READ) return opened;
      if (error == SSL_ERROR_ZERO_RETURN) return opened == Opened::Plain ? opened : Opened::Closed;
      throw Error(lastLibraryError());
    }
  }

private:
  std::size_t give(std::span<const std::uint8_t> input) {
    if (!input.empty()) BIO_write(in_, input.data(), static_cast<int>(input.size()));
    return input.size();
  }

  // Points the outgoing BIO at `output` while OpenSSL writes.
  struct Writing {
    Writing(BIO* bio, Bytes& output) : bio(bio) { BIO_set_data(bio, &output); }
    ~Writing() { BIO_set_data(bio, nullptr); }
    BIO* bio;
  };

  std::string host_;
  std::unique_ptr<SSL, SslDeleter> ssl_;
  BIO* in_ = nullptr; // owned by ssl_
  BIO* out_ = nullptr;
};

// When a trust anchor file was last written and how long it is: a replaced file differs in one.
struct FileStamp {
  std::filesystem::file_time_type written{};
  std::uintmax_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& path) {
  if (path.empty()) return {};
  std::error_code error;
  FileStamp stamp{std::filesystem::last_write_time(path, error), 0};
  if (!error) stamp.size = std::filesystem::file_size(path, error);
  if (error) throw Error(tls_error::unreadableAnchor(path));
  return stamp;
}

// One context per trust anchor file, made anew when the file has changed: loading the system's
// trust store costs more than a handshake, and the next connection sees a replaced file.
class OpenSslTls final : public Tls {
public:
  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> tcp, const std::string& host,
                                     const std::string& trustAnchorFile, milliseconds timeLimit) override {
    auto engine = std::make_unique<OpenSslEngine>(contextFor(trustAnchorFile, host), host);
    return http::secureOver(std::move(engine), std::move(tcp), host, timeLimit);
  }

private:
  struct Context {
    FileStamp stamp;
    std::unique_ptr<SSL_CTX, ContextDeleter> context;
  };

  SSL_CTX* contextFor(const std::string& trustAnchorFile, const std::string& host) {
    const FileStamp stamp = stampOf(trustAnchorFile);
    std::lock_guard lock(mutex_);
    Context& kept = contexts_[trustAnchorFile];
    if (kept.context && kept.stamp == stamp) return kept.context.get();
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
    // Connections still open on the old context keep it through their own reference.
    kept = {stamp, std::move(made)};
    return kept.context.get();
  }

  std::mutex mutex_;
  std::map<std::string, Context> contexts_;
};

} // namespace

Tls& systemTls() {
  static OpenSslTls tls;
  return tls;
}

} // namespace glimor::platform
