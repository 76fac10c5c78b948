#pragma once
#include "http/bearer_token.h"

#include <string>

namespace glimor::http {

// What a client object announces in every request; fixed for the object's life but for the
// token (HttpClient::setAccess). An empty value leaves its header line out.
struct ClientConfig {
  std::string connection = "Keep-Alive";
  std::string contentType;
  std::string cacheControl = "no-cache";
  std::string accept;
  std::string acceptEncoding;
  std::string acceptLanguage;
  std::string userAgent;
  // Sent as "Authorization: Bearer <token>" after the other lines; empty sends no such line.
  BearerToken bearerToken;
};

} // namespace glimor::http
