// The certificate check of the Schannel connection: Schannel's own validation is off
// (manual validation), and the chain is checked here against the system's trust store or the named
// trust anchors, then the SSL policy with the host name.
#include "os/win32/schannel_verify.h"

#include "os/win32/system_text.h"
#include "platform/error.h"
#include "platform/tls_error.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace glimor::platform::schannel {

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
    return !Certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
  });
  if (anchors.empty()) throw Error(tls_error::noCertificateInAnchor(path));
  return anchors;
}

namespace {

// SSL_EXTRA_CERT_CHAIN_POLICY_PARA::fdwChecks: an unknown root is let through (to the anchor test).
constexpr DWORD ignoreUnknownCa = 0x00000100;

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

} // namespace

void checkCertificate(PCCERT_CONTEXT server, const std::string& host, const std::vector<Der>& anchors) {
  // The certificates the service sent along, and the anchors, are where the chain may be found.
  Store supporting(::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  Store anchorStore(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  for (const Der& der : anchors)
    ::CertAddEncodedCertificateToStore(anchorStore.get(), X509_ASN_ENCODING, der.data(),
                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr);
  if (server->hCertStore) ::CertAddStoreToCollection(supporting.get(), server->hCertStore, 0, 0);
  ::CertAddStoreToCollection(supporting.get(), anchorStore.get(), 0, 0);

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!::CertGetCertificateChain(nullptr, server, nullptr, supporting.get(), &chainPara, 0, nullptr, &built))
    throw Error(policyFailure(::GetLastError(), host));
  const Chain chain(built);

  // An unknown root passes only when it is one of the anchors; any other fault of the chain fails.
  const bool anchored = endsAtAnchor(chain.get(), anchors);
  const DWORD faults = chain->TrustStatus.dwErrorStatus & ~(anchored ? CERT_TRUST_IS_UNTRUSTED_ROOT : 0);
  if (faults != CERT_TRUST_NO_ERROR) throw Error(chainFailure(faults, host));

  std::wstring wideHost(host.begin(), host.end());
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = anchored ? ignoreUnknownCa : 0;
  ssl.pwszServerName = wideHost.data();
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.dwFlags = anchored ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
  policyPara.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  const DWORD refused =
      ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara, &status)
          ? status.dwError
          : std::max<DWORD>(::GetLastError(), static_cast<DWORD>(CERT_E_UNTRUSTEDROOT)); // never open
  if (refused != 0) throw Error(policyFailure(refused, host));
}

} // namespace glimor::platform::schannel
