#pragma once
#include <string>

namespace glimor::platform {

// The messages of a failed TLS connection, worded the same on every platform.
namespace tls_error {

enum class Certificate { Untrusted, OtherHost, Expired, Revoked };

// "The certificate of <host> is not trusted." and its siblings; `detail` (the library's own words)
// follows in parentheses when not empty.
std::string certificate(Certificate problem, const std::string& host, const std::string& detail = {});

// "TLS handshake with <host> failed: <detail>."
std::string handshake(const std::string& host, const std::string& detail);

// A trust anchor file that cannot be used.
std::string unreadableAnchor(const std::string& path);
std::string noCertificateInAnchor(const std::string& path);

} // namespace tls_error
} // namespace glimor::platform
