#pragma once
#include "http/http_client.h"
#include "platform/socket.h"

namespace glimor::net {

// What both client objects announce; they differ only in the Content-Type.
http::ClientConfig uploadClientConfig();
http::ClientConfig contactClientConfig();

// The two client objects of the main window: `HTTP` carries the image upload, `contactHTTP`
// the feedback form. Each keeps its own cookies.
struct ServiceClients {
  explicit ServiceClients(platform::Network& network, http::Limits limits = {},
                          const http::TlsSettings& tls = {})
      : HTTP(uploadClientConfig(), network, limits, tls),
        contactHTTP(contactClientConfig(), network, limits, tls) {}

  http::HttpClient HTTP;
  http::HttpClient contactHTTP;
};

} // namespace glimor::net
