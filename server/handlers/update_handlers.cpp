#include "byte_range.h"
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
  auto file = service.updates.executable(request.path());
  if (!file) return textResponse(404, "Not found");
  Response response;
  response.contentType = "application/octet-stream";
  response.headers = {{"Cache-Control", "no-cache"}, {"X-Content-Type-Options", "nosniff"}};
  response.streamedBody = file;
  // The file may be replaced between requests and has no ETag, so a range
  // asked for under If-Range gets the whole file.
  answerRange(response, request, file->size(), {});
  return response;
}

} // namespace glimor::server
