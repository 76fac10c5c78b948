#include "net/service_clients.h"

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

} // namespace glimor::net
