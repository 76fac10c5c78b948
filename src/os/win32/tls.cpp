// TLS for Glimor.exe through Schannel (SSPI). Schannel works on buffers whose bytes
// http::secureOver moves over the program's own Connection; the certificate is checked by
// schannel::checkCertificate once the handshake is through.
#include "platform/tls.h"

#include "http/tls_connection.h"
#include "os/win32/schannel_handles.h"
#include "os/win32/schannel_verify.h"
#include "os/win32/system_text.h"
#include "os/win32/wide_text.h"
#include "platform/error.h"
#include "platform/tls_error.h"

#include <cstring>
#include <vector>

namespace glimor::platform {
namespace {

using schannel::Der;
using std::chrono::milliseconds;

std::string statusText(SECURITY_STATUS status) {
  return win32::systemErrorText(static_cast<unsigned long>(status));
}

class SchannelEngine final : public http::TlsEngine {
public:
  SchannelEngine(std::string host, std::vector<Der> anchors)
      : host_(std::move(host)), wideHost_(win32::widen(host_)), anchors_(std::move(anchors)) {
    SCHANNEL_CRED wanted{};
    wanted.dwVersion = SCHANNEL_CRED_VERSION;
    wanted.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    wanted.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    wchar_t package[] = UNISP_NAME_W;
    const SECURITY_STATUS status =
        ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &wanted, nullptr,
                                    nullptr, credentials_.place(), nullptr);
    if (status != SEC_E_OK) throw Error(tls_error::handshake(host_, statusText(status)));
    credentials_.made();
  }

  Handshake handshake(std::span<std::uint8_t> input, std::size_t& used, Bytes& output) override {
    const DWORD requests = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
    SecBuffer in[2] = {{static_cast<ULONG>(input.size()), SECBUFFER_TOKEN, input.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    DWORD granted = 0;
    const bool firstCall = !context_.get();
    const SECURITY_STATUS status = ::InitializeSecurityContextW(
        credentials_.get(), context_.get(), wideHost_.data(), requests, 0, 0, firstCall ? nullptr : &inDesc,
        0, firstCall ? context_.place() : nullptr, &outDesc, &granted, nullptr);
    const schannel::ContextBuffer token(out.pvBuffer);
    if (firstCall && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) context_.made();
    // The token goes out even with a refusal: it is the alert that tells the service why.
    if (token)
      output.insert(output.end(), static_cast<BYTE*>(out.pvBuffer),
                    static_cast<BYTE*>(out.pvBuffer) + out.cbBuffer);

    used = 0;
    const int round = rounds_++;
    if (status == SEC_E_INCOMPLETE_MESSAGE) return Handshake::NeedInput;
    // No client certificate: Schannel goes on without one.
    if (status == SEC_I_INCOMPLETE_CREDENTIALS && round < 8) return Handshake::Again;
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
      throw Error(tls_error::handshake(host_, statusText(status)));
    // What Schannel did not use of the input starts the next message.
    if (!firstCall)
      used = in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= input.size()
                 ? input.size() - in[1].cbBuffer
                 : input.size();
    if (status == SEC_E_OK) {
      secured();
      return Handshake::Done;
    }
    return used == input.size() ? Handshake::NeedInput : Handshake::Again;
  }

  std::size_t maxRecordPlain() const override { return sizes_.cbMaximumMessage; }

  void seal(std::span<const std::uint8_t> plain, Bytes& output) override {
    const std::size_t at = output.size();
    output.resize(at + sizes_.cbHeader + plain.size() + sizes_.cbTrailer);
    BYTE* header = output.data() + at;
    BYTE* data = header + sizes_.cbHeader;
    std::memcpy(data, plain.data(), plain.size());
    SecBuffer parts[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
                          {static_cast<ULONG>(plain.size()), SECBUFFER_DATA, data},
                          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, data + plain.size()},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
    const SECURITY_STATUS status = ::EncryptMessage(context_.get(), 0, &desc, 0);
    if (status != SEC_E_OK) throw Error("TLS Error: " + statusText(status) + ".");
    output.resize(at + parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
  }

  // Opens one record.
  Opened open(std::span<std::uint8_t> input, std::size_t& used, Bytes& plain, Bytes&) override {
    used = 0;
    if (input.empty()) return Opened::NeedInput;
    SecBuffer parts[4] = {{static_cast<ULONG>(input.size()), SECBUFFER_DATA, input.data()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
    const SECURITY_STATUS status = ::DecryptMessage(context_.get(), &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return Opened::NeedInput;
    if (status == SEC_I_CONTEXT_EXPIRED) { // the service's close_notify
      used = input.size();
      return Opened::Closed;
    }
    if (status == SEC_I_RENEGOTIATE)
      throw Error(tls_error::handshake(host_, "the service asked for a new handshake"));
    if (status != SEC_E_OK) throw Error("TLS Error: " + statusText(status) + ".");
    used = input.size();
    for (const SecBuffer& part : parts) {
      const auto* begin = static_cast<const std::uint8_t*>(part.pvBuffer);
      if (part.BufferType == SECBUFFER_DATA) plain.insert(plain.end(), begin, begin + part.cbBuffer);
      if (part.BufferType == SECBUFFER_EXTRA) used = input.size() - part.cbBuffer;
    }
    return Opened::Plain;
  }

private:
  // The record sizes of the secured connection, and the certificate check.
  void secured() {
    SECURITY_STATUS status = ::QueryContextAttributesW(context_.get(), SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (status != SEC_E_OK) throw Error(tls_error::handshake(host_, statusText(status)));
    PCCERT_CONTEXT sent = nullptr;
    status = ::QueryContextAttributesW(context_.get(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &sent);
    const schannel::Certificate server(sent);
    if (status != SEC_E_OK || !server)
      throw Error(tls_error::certificate(tls_error::Certificate::Untrusted, host_, "none was sent"));
    schannel::checkCertificate(server.get(), host_, anchors_);
  }

  std::string host_;
  std::wstring wideHost_; // the name Schannel checks and sends
  std::vector<Der> anchors_;
  schannel::Credentials credentials_;
  schannel::SecurityContext context_;
  int rounds_ = 0;
  SecPkgContext_StreamSizes sizes_{};
};

// The trust anchor file is read for every connection, so a replaced file counts from the next one.
class SchannelTls final : public Tls {
public:
  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> tcp, const std::string& host,
                                     const std::string& trustAnchorFile, milliseconds timeLimit) override {
    std::vector<Der> anchors;
    if (!trustAnchorFile.empty()) anchors = schannel::readAnchors(trustAnchorFile);
    return http::secureOver(std::make_unique<SchannelEngine>(host, std::move(anchors)), std::move(tcp), host,
                            timeLimit);
  }
};

} // namespace

Tls& systemTls() {
  static SchannelTls tls;
  return tls;
}

} // namespace glimor::platform
