#pragma once
// Owners for the handles of the certificate store and SSPI functions, so that every one is freed
// on every way out, a thrown refusal included.
#include <windows.h>

// The certificate and Schannel headers need <windows.h> before them.
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <memory>

namespace glimor::platform::schannel {

struct CertificateFree {
  void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
struct ChainFree {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { ::CertFreeCertificateChain(chain); }
};
struct StoreClose {
  void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
struct ContextBufferFree {
  void operator()(void* buffer) const { ::FreeContextBuffer(buffer); }
};

using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;
using Store = std::unique_ptr<void, StoreClose>; // an HCERTSTORE
using ContextBuffer = std::unique_ptr<void, ContextBufferFree>;

// An SSPI credential or security context handle, released by `Release` once it has been made.
template <typename Handle, SECURITY_STATUS(SEC_ENTRY* Release)(Handle*)> class SspiHandle {
public:
  SspiHandle() = default;
  SspiHandle(const SspiHandle&) = delete;
  SspiHandle& operator=(const SspiHandle&) = delete;
  ~SspiHandle() {
    if (made_) Release(&handle_);
  }

  // Where the function that makes the handle writes it; call made() once it has.
  Handle* place() { return &handle_; }
  void made() { made_ = true; }
  // The handle, or null while there is none.
  Handle* get() { return made_ ? &handle_ : nullptr; }

private:
  Handle handle_{};
  bool made_ = false;
};

using Credentials = SspiHandle<CredHandle, ::FreeCredentialsHandle>;
using SecurityContext = SspiHandle<CtxtHandle, ::DeleteSecurityContext>;

} // namespace glimor::platform::schannel
