#pragma once
#include "http/http_client.h"
#include "platform/socket.h"

namespace glimor::net {

// What both client objects announce; they differ only in the Content-Type.
http::ClientConfig uploadClientConfig();
http::ClientConfig contactClientConfig();

// The client objects of the main window: `HTTP` carries the image upload, `contactHTTP` the
// feedback form, both with the upload token when one is set; `deletionHTTP` posts to the deletion
// links, which carry their own secret, so the token never goes to whatever address an answer named.
// Each keeps its own cookies.
struct ServiceClients {
  explicit ServiceClients(platform::Network& network, http::Limits limits = {},
                          const http::TlsSettings& tls = {}, const std::string& uploadToken = {})
      : HTTP(withToken(uploadClientConfig(), uploadToken), network, limits, tls),
        contactHTTP(withToken(contactClientConfig(), uploadToken), network, limits, tls),
        deletionHTTP(contactClientConfig(), network, limits, tls) {}

  http::HttpClient HTTP;
  http::HttpClient contactHTTP;
  http::HttpClient deletionHTTP;

private:
  static http::ClientConfig withToken(http::ClientConfig config, const std::string& token) {
    config.bearerToken = token;
    return config;
  }
};

} // namespace glimor::net
