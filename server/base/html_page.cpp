#include "html_page.h"

#include "html_text.h"

#include <openssl/evp.h>

namespace glimor::server {

std::string hashSource(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
  unsigned char encoded[64] = {};
  EVP_EncodeBlock(encoded, digest, static_cast<int>(length));
  return "'sha256-" + std::string(reinterpret_cast<const char*>(encoded)) + "'";
}

Response htmlResponse(const HtmlPage& page) {
  Response response;
  response.status = page.status;
  response.contentType = "text/html; charset=utf-8";
  const std::string script =
      page.script.empty() ? "" : "; script-src " + hashSource(page.script) + "; connect-src 'self'";
  response.headers = {
      {"Content-Security-Policy", "default-src 'none'; img-src 'self'; media-src 'self'; style-src " +
                                      hashSource(page.style) + script +
                                      "; form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Cache-Control", std::string(page.cacheControl)},
      // Other sites get no Referer; this one gets the page's Origin with its forms.
      {"Referrer-Policy", std::string(page.referrerPolicy)}};
  response.body = "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\">\n" + page.head +
                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                  escapeHtml(page.title) + "</title>\n<style>" + std::string(page.style) +
                  "</style>\n</head>\n<body>\n" + page.body +
                  (page.script.empty() ? "" : "<script>" + std::string(page.script) + "</script>\n") +
                  "</body>\n</html>\n";
  return response;
}

} // namespace glimor::server
