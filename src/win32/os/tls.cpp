// TLS for Glimor.exe through Schannel (SSPI). Schannel works on buffers; this file moves their
// bytes over the program's own Connection, so every wait keeps its bound. The certificate is
// checked here (manual validation): its chain against the system's trust store or the named
// trust anchor, and its names against the host.
#include "platform/tls.h"

#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/tls_error.h"
#include "win32/os/system_text.h"

#include <windows.h>

// The certificate and Schannel headers need <windows.h> before them.
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace glimor::platform {
namespace {

using Der = std::vector<BYTE>;
using std::chrono::milliseconds;

// SSL_EXTRA_CERT_CHAIN_POLICY_PARA::fdwChecks: an unknown root is let through (to the anchor test).
constexpr DWORD ignoreUnknownCa = 0x00000100;

std::string statusText(SECURITY_STATUS status) {
  return win32::systemErrorText(static_cast<unsigned long>(status));
}

// Every certificate of a PEM file, or the one of a DER file, in DER form.
std::vector<Der> readAnchors(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error(tls_error::unreadableAnchor(path));
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Error(tls_error::unreadableAnchor(path));

  std::vector<Der> anchors;
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  for (std::size_t at = bytes.find(begin); at != std::string::npos; at = bytes.find(begin, at + 1)) {
    std::size_t stop = bytes.find(end, at);
    if (stop == std::string::npos) break;
    const char* block = bytes.data() + at;
    DWORD blockSize = static_cast<DWORD>(stop + end.size() - at), size = 0;
    if (!::CryptStringToBinaryA(block, blockSize, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                nullptr))
      continue;
    Der der(size);
    if (::CryptStringToBinaryA(block, blockSize, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                               nullptr))
      anchors.push_back(std::move(der));
  }
  if (anchors.empty() && !bytes.empty()) anchors.emplace_back(bytes.begin(), bytes.end());
  // Only what parses as a certificate counts.
  std::erase_if(anchors, [](const Der& der) {
    PCCERT_CONTEXT certificate =
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (certificate) ::CertFreeCertificateContext(certificate);
    return certificate == nullptr;
  });
  if (anchors.empty()) throw Error(tls_error::noCertificateInAnchor(path));
  return anchors;
}

// A refusal by the SSL chain policy.
std::string policyFailure(DWORD error, const std::string& host) {
  using tls_error::Certificate;
  switch (error) {
  case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
    return tls_error::certificate(Certificate::OtherHost, host);
  case static_cast<DWORD>(CERT_E_EXPIRED):
  case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
    return tls_error::certificate(Certificate::Expired, host);
  case static_cast<DWORD>(CRYPT_E_REVOKED):
    return tls_error::certificate(Certificate::Revoked, host);
  case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    return tls_error::certificate(Certificate::Untrusted, host, "its root is not trusted");
  default:
    return tls_error::certificate(Certificate::Untrusted, host, win32::systemErrorText(error));
  }
}

// A fault of the chain itself. The SSL policy of some systems passes a chain that ends before a
// root, so the chain's own status is read first.
std::string chainFailure(DWORD status, const std::string& host) {
  using tls_error::Certificate;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return tls_error::certificate(Certificate::Expired, host);
  if (status & CERT_TRUST_IS_REVOKED) return tls_error::certificate(Certificate::Revoked, host);
  const char* detail = status & CERT_TRUST_IS_PARTIAL_CHAIN         ? "its issuer is unknown"
                       : status & CERT_TRUST_IS_UNTRUSTED_ROOT      ? "its root is not trusted"
                       : status & CERT_TRUST_IS_NOT_SIGNATURE_VALID ? "a signature in its chain is not valid"
                       : status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE ? "it is not meant for a server"
                                                                    : "its chain is not valid";
  return tls_error::certificate(Certificate::Untrusted, host, detail);
}

// The chain's root is one of the anchors the user named.
bool endsAtAnchor(PCCERT_CHAIN_CONTEXT chain, const std::vector<Der>& anchors) {
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  return std::any_of(anchors.begin(), anchors.end(), [root](const Der& der) {
    return der.size() == root->cbCertEncoded && std::memcmp(der.data(), root->pbCertEncoded, der.size()) == 0;
  });
}

// Checks the service's certificate: chain, usage, validity and host name. Throws on refusal.
void checkCertificate(PCCERT_CONTEXT server, const std::string& host, const std::vector<Der>& anchors) {
  // The certificates the service sent along, and the anchors, are where the chain may be found.
  HCERTSTORE supporting = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
  HCERTSTORE anchorStore = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  for (const Der& der : anchors)
    ::CertAddEncodedCertificateToStore(anchorStore, X509_ASN_ENCODING, der.data(),
                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr);
  if (server->hCertStore) ::CertAddStoreToCollection(supporting, server->hCertStore, 0, 0);
  ::CertAddStoreToCollection(supporting, anchorStore, 0, 0);

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  BOOL built =
      ::CertGetCertificateChain(nullptr, server, nullptr, supporting, &chainPara, 0, nullptr, &chain);
  DWORD error = built ? 0 : ::GetLastError();

  std::wstring wideHost(host.begin(), host.end());
  auto policy = [&](DWORD checks) -> DWORD {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = checks;
    ssl.pwszServerName = wideHost.data();
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.dwFlags = checks & ignoreUnknownCa ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &status))
      return std::max<DWORD>(::GetLastError(), static_cast<DWORD>(CERT_E_UNTRUSTEDROOT)); // never open
    return status.dwError;
  };
  std::string refusal;
  if (!built) {
    refusal = policyFailure(error, host);
  } else {
    // An unknown root passes only when it is one of the anchors; any other fault of the chain fails.
    const bool anchored = endsAtAnchor(chain, anchors);
    const DWORD faults = chain->TrustStatus.dwErrorStatus & ~(anchored ? CERT_TRUST_IS_UNTRUSTED_ROOT : 0);
    if (faults != CERT_TRUST_NO_ERROR)
      refusal = chainFailure(faults, host);
    else if (DWORD refused = policy(anchored ? ignoreUnknownCa : 0); refused != 0)
      refusal = policyFailure(refused, host);
    ::CertFreeCertificateChain(chain);
  }
  ::CertCloseStore(supporting, 0);
  ::CertCloseStore(anchorStore, 0);
  if (!refusal.empty()) throw Error(refusal);
}

class SchannelConnection final : public Connection {
public:
  SchannelConnection(std::unique_ptr<Connection> tcp, std::string host)
      : tcp_(std::move(tcp)), host_(std::move(host)) {}
  ~SchannelConnection() override {
    if (haveContext_) ::DeleteSecurityContext(&context_);
    if (haveCredentials_) ::FreeCredentialsHandle(&credentials_);
  }

  void handshake(milliseconds timeLimit, const std::vector<Der>& anchors) {
    const Deadline deadline(timeLimit);
    SCHANNEL_CRED wanted{};
    wanted.dwVersion = SCHANNEL_CRED_VERSION;
    wanted.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    wanted.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    char package[] = UNISP_NAME_A;
    SECURITY_STATUS status = ::AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                                         &wanted, nullptr, nullptr, &credentials_, nullptr);
    if (status != SEC_E_OK) throw Error(tls_error::handshake(host_, statusText(status)));
    haveCredentials_ = true;

    const DWORD requests = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
    bool needInput = false;
    for (int round = 0;; ++round) {
      if (needInput) pull(deadline, true);
      SecBuffer input[2] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                            {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
      SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
      SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, &output};
      DWORD granted = 0;
      status =
          ::InitializeSecurityContextA(&credentials_, haveContext_ ? &context_ : nullptr, host_.data(),
                                       requests, 0, 0, haveContext_ ? &inputDesc : nullptr, 0,
                                       haveContext_ ? nullptr : &context_, &outputDesc, &granted, nullptr);
      const bool firstCall = !haveContext_;
      if (firstCall && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) haveContext_ = true;
      sendToken(output, deadline);

      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needInput = true;
        continue;
      }
      if (status == SEC_I_INCOMPLETE_CREDENTIALS && round < 8) {
        needInput = false; // no client certificate: Schannel goes on without one
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
        throw Error(tls_error::handshake(host_, statusText(status)));
      if (!firstCall) keepExtra(input[1]);
      if (status == SEC_E_OK) break;
      needInput = incoming_.empty();
    }

    status = ::QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (status != SEC_E_OK) throw Error(tls_error::handshake(host_, statusText(status)));
    PCCERT_CONTEXT server = nullptr;
    status = ::QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server);
    if (status != SEC_E_OK || !server)
      throw Error(tls_error::certificate(tls_error::Certificate::Untrusted, host_, "none was sent"));
    try {
      checkCertificate(server, host_, anchors);
    } catch (...) {
      ::CertFreeCertificateContext(server);
      throw;
    }
    ::CertFreeCertificateContext(server);
  }

  void send(std::span<const std::uint8_t> bytes, milliseconds timeLimit) override {
    const Deadline deadline(timeLimit);
    while (!bytes.empty()) {
      const std::size_t piece = std::min<std::size_t>(bytes.size(), sizes_.cbMaximumMessage);
      record_.resize(sizes_.cbHeader + piece + sizes_.cbTrailer);
      BYTE* header = record_.data();
      std::memcpy(header + sizes_.cbHeader, bytes.data(), piece);
      SecBuffer parts[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
                            {static_cast<ULONG>(piece), SECBUFFER_DATA, header + sizes_.cbHeader},
                            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, header + sizes_.cbHeader + piece},
                            {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
      SECURITY_STATUS status = ::EncryptMessage(&context_, 0, &desc, 0);
      if (status != SEC_E_OK) throw Error("TLS Error: " + statusText(status) + ".");
      std::size_t length = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
      tcp_->send(std::span(record_.data(), length), deadline.left());
      bytes = bytes.subspan(piece);
    }
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, milliseconds wait) override {
    const Deadline deadline(wait);
    for (;;) {
      if (plainAt_ < plain_.size()) {
        std::size_t n = std::min(into.size(), plain_.size() - plainAt_);
        std::memcpy(into.data(), plain_.data() + plainAt_, n);
        plainAt_ += n;
        return n;
      }
      if (!incoming_.empty() && decrypt()) continue;
      if (ended_) return 0;
      // Closed under TLS without its close_notify: whatever was to follow may have been cut away.
      if (closed_) throw Error(std::string(platform::cutOffText));
      if (!pull(deadline, false)) return std::nullopt;
    }
  }

  void close() override { tcp_->close(); }

private:
  void sendToken(SecBuffer& token, const Deadline& deadline) {
    if (!token.pvBuffer) return;
    std::vector<std::uint8_t> bytes(static_cast<BYTE*>(token.pvBuffer),
                                    static_cast<BYTE*>(token.pvBuffer) + token.cbBuffer);
    ::FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    if (!bytes.empty()) tcp_->send(bytes, deadline.left());
  }

  // What Schannel did not use of the input starts the next message.
  void keepExtra(const SecBuffer& extra) {
    if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= incoming_.size())
      incoming_.erase(incoming_.begin(), incoming_.end() - extra.cbBuffer);
    else
      incoming_.clear();
  }

  // Reads from the network into `incoming_`; false when the wait expired. During the handshake
  // an expired wait or a close fails it.
  bool pull(const Deadline& deadline, bool inHandshake) {
    std::array<std::uint8_t, 32768> chunk;
    std::optional<std::size_t> got = tcp_->receive(chunk, deadline.left());
    if (!got) {
      if (inHandshake) throw Error(socketErrorMessage(wsa::timedOut));
      return false;
    }
    if (*got == 0) {
      if (inHandshake) throw Error(tls_error::handshake(host_, "the service closed the connection"));
      closed_ = true;
      return true;
    }
    incoming_.insert(incoming_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*got));
    return true;
  }

  // Decrypts one record of `incoming_` into `plain_`; false when the record is not complete yet.
  bool decrypt() {
    SecBuffer parts[4] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
    SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
    if (status == SEC_I_CONTEXT_EXPIRED) { // the service's close_notify
      ended_ = true;
      incoming_.clear();
      return false;
    }
    if (status == SEC_I_RENEGOTIATE)
      throw Error(tls_error::handshake(host_, "the service asked for a new handshake"));
    if (status != SEC_E_OK) throw Error("TLS Error: " + statusText(status) + ".");
    plain_.clear();
    plainAt_ = 0;
    std::vector<std::uint8_t> extra;
    for (const SecBuffer& part : parts) {
      auto* begin = static_cast<std::uint8_t*>(part.pvBuffer);
      if (part.BufferType == SECBUFFER_DATA) plain_.assign(begin, begin + part.cbBuffer);
      if (part.BufferType == SECBUFFER_EXTRA) extra.assign(begin, begin + part.cbBuffer);
    }
    incoming_ = std::move(extra);
    return true;
  }

  std::unique_ptr<Connection> tcp_;
  std::string host_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool haveCredentials_ = false, haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<std::uint8_t> incoming_; // received, not yet decrypted
  std::vector<std::uint8_t> plain_;    // decrypted, not yet read
  std::size_t plainAt_ = 0;
  std::vector<std::uint8_t> record_;
  bool closed_ = false; // the TCP connection is closed
  bool ended_ = false;  // the service ended TLS (close_notify)
};

class SchannelTls final : public Tls {
public:
  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> tcp, const std::string& host,
                                     const std::string& trustAnchorFile, milliseconds timeLimit) override {
    std::vector<Der> anchors;
    if (!trustAnchorFile.empty()) anchors = readAnchors(trustAnchorFile);
    auto connection = std::make_unique<SchannelConnection>(std::move(tcp), host);
    connection->handshake(timeLimit, anchors);
    return connection;
  }
};

} // namespace

Tls& systemTls() {
  static SchannelTls tls;
  return tls;
}

} // namespace glimor::platform
