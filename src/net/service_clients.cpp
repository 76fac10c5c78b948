#include "net/service_clients.h"

#include "http/refusal_text.h"
#include "net/upload_request.h"

namespace glimor::net {
namespace {

http::ClientConfig browserLikeConfig(std::string contentType) {
  http::ClientConfig config;
  config.connection = "Keep-Alive";
  config.contentType = std::move(contentType);
  config.cacheControl = "no-cache";
  config.accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
                  "application/vnd.ms-powerpoint, application/msword, application/x-shockwave-flash, */*";
  config.acceptEncoding = "gzip, deflate";
  config.acceptLanguage = "hr";
  config.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
  return config;
}

} // namespace

http::ClientConfig uploadClientConfig() {
  return browserLikeConfig("multipart/form-data; boundary=" + std::string(uploadBoundary));
}

http::ClientConfig contactClientConfig() {
  return browserLikeConfig("application/x-www-form-urlencoded");
}

ServiceClients::ServiceClients(platform::Network& network, platform::Tls* tls, SettingsSource settings,
                               std::string tokenPlace, http::Limits limits)
    : settings_(std::move(settings)), tokenPlace_(std::move(tokenPlace)),
      HTTP(uploadClientConfig(), network, limits, {tls, {}}),
      contactHTTP(contactClientConfig(), network, limits, {tls, {}}),
      deletionHTTP(contactClientConfig(), network, limits, {tls, {}}) {}

http::HttpClient& ServiceClients::upload(const ServiceSettings& settings) {
  HTTP.setAccess(http::BearerToken(settings.token), settings.caCertificate);
  return HTTP;
}

http::HttpClient& ServiceClients::contact(const ServiceSettings& settings) {
  contactHTTP.setAccess(http::BearerToken(settings.token), settings.caCertificate);
  return contactHTTP;
}

http::HttpClient& ServiceClients::uploadByFile(const ServiceSettings& settings) {
  HTTP.setAccess({}, settings.caCertificate);
  return HTTP;
}

http::HttpClient& ServiceClients::deletion(const ServiceSettings& settings) {
  deletionHTTP.setAccess({}, settings.caCertificate);
  return deletionHTTP;
}

bool isTokenRefusal(const std::exception& error) {
  auto refusal = dynamic_cast<const http::Refusal*>(&error);
  return refusal && refusal->statusCode() == 401;
}

std::string ServiceClients::failureText(const std::exception& error) const {
  std::string text = error.what();
  if (!isTokenRefusal(error) || tokenPlace_.empty()) return text;
  if (!text.ends_with('.')) text += '.';
  return text + " " + tokenPlace_;
}

} // namespace glimor::net
