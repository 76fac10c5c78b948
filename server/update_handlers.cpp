#include "service.h"

namespace glimor::server {

Response handleVersionFile(Service& service) {
  auto text = service.updates.versionFile();
  if (!text) return textResponse(404, "No update is published");
  Response response;
  response.contentType = "text/plain";
  response.headers.emplace_back("Cache-Control", "no-cache");
  response.body = std::move(*text);
  return response;
}

Response handleExecutable(Service& service, const Request& request) {
  auto bytes = service.updates.executable(request.path());
  if (!bytes) return textResponse(404, "Not found");
  Response response;
  response.contentType = "application/octet-stream";
  response.headers = {{"Cache-Control", "no-cache"}, {"X-Content-Type-Options", "nosniff"}};
  response.body = std::move(*bytes);
  return response;
}

} // namespace glimor::server
