#include "platform/tls_error.h"

namespace glimor::platform::tls_error {
namespace {

std::string sentence(std::string text, const std::string& detail) {
  if (!detail.empty()) text += " (" + detail + ")";
  return text + ".";
}

} // namespace

std::string certificate(Certificate problem, const std::string& host, const std::string& detail) {
  std::string subject = "The certificate of " + host;
  switch (problem) {
  case Certificate::Untrusted:
    return sentence(subject + " is not trusted", detail);
  case Certificate::OtherHost:
    return sentence(subject + " names another host", detail);
  case Certificate::Expired:
    return sentence(subject + " has expired or is not valid yet", detail);
  case Certificate::Revoked:
    return sentence(subject + " has been revoked", detail);
  }
  return sentence(subject + " was refused", detail);
}

std::string handshake(const std::string& host, const std::string& detail) {
  std::string text = "TLS handshake with " + host + " failed: " + detail;
  if (!text.ends_with('.')) text += ".";
  return text;
}

std::string unreadableAnchor(const std::string& path) {
  return "The CA certificate file \"" + path + "\" cannot be read.";
}

std::string noCertificateInAnchor(const std::string& path) {
  return "The CA certificate file \"" + path + "\" holds no certificate in PEM or DER form.";
}

} // namespace glimor::platform::tls_error
