#pragma once
#include "os/win32/schannel_handles.h"

#include <string>
#include <vector>

namespace glimor::platform::schannel {

using Der = std::vector<BYTE>;

// Every certificate of a PEM file, or the one of a DER file, in DER form; throws Error when the
// file cannot be read or holds no certificate.
std::vector<Der> readAnchors(const std::string& path);

// Checks the service's certificate: chain, usage, validity and host name, the chain ending at the
// system's trust store or at one of `anchors`. Throws Error with the refusal.
void checkCertificate(PCCERT_CONTEXT server, const std::string& host, const std::vector<Der>& anchors);

} // namespace glimor::platform::schannel
