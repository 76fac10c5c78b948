#include "byte_range.h"
#include "image_id.h"
#include "service.h"

namespace glimor::server {
namespace {

// A removed image's link says so for good, unlike a link that never existed.
Response goneResponse() {
  Response response = textResponse(410, "Gone");
  response.body = "This image was deleted.\r\n";
  return response;
}

// Stored images never change, so clients and proxies may keep them for a year.
// A browser shows the bytes only as the image type named, runs nothing in them even
// when opened as a document, and saves them under the link's own name. A video
// opened as a document is played by a player the browser makes in it, which
// loads the video again: the policy lets it, from the document's own origin.
Refusal::Headers imageHeaders(std::string_view fileName, bool video = false) {
  return {{"Cache-Control", "public, max-age=31536000, immutable"},
          {"X-Content-Type-Options", "nosniff"},
          {"Content-Security-Policy", video
                                          ? "default-src 'none'; media-src 'self'; sandbox allow-same-origin"
                                          : "default-src 'none'; sandbox"},
          {"Content-Disposition", "inline; filename=\"" + std::string(fileName) + "\""}};
}

} // namespace

Response handleImage(Service& service, const Request& request, std::string_view fileName) {
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return textResponse(404, "No such image");
  // HEAD and a conditional GET are mostly answered from the record alone.
  bool recordOnly = request.method == "HEAD" || !request.ifNoneMatch.empty();
  std::string_view id = fileName.substr(0, dot);
  auto image = recordOnly ? service.images->findRecord(id) : service.images->find(id);
  if (!image && isImageId(id) && service.images->wasRemoved(id)) return goneResponse();
  if (!image || image->type.extension != fileName.substr(dot + 1)) return textResponse(404, "No such image");

  Response response;
  std::string etag = "\"" + image->sha256 + "\"";
  response.headers = imageHeaders(fileName, image->type.isVideo());
  response.headers.emplace_back("ETag", etag);
  if (request.ifNoneMatch.find(etag) != std::string::npos || request.ifNoneMatch == "*") {
    response.status = 304;
    return response;
  }
  if (!image->redirect.empty()) {
    // The bytes come from the object store through a link that expires.
    response.status = 307;
    response.headers.emplace_back("Location", image->redirect);
    response.headers.emplace_back("Cache-Control", "private, max-age=600");
    return response;
  }
  response.contentType = image->type.mimeType;
  if (image->reader)
    response.streamedBody = image->reader;
  else
    response.sharedBody = std::shared_ptr<const std::string>(image, &image->bytes);
  answerRange(response, request, response.payloadSize(), etag);
  return response;
}

// A thumbnail lives and dies with its image, and is served as one.
Response handleThumbnail(Service& service, const Request&, std::string_view fileName) {
  if (!fileName.ends_with(".jpg")) return textResponse(404, "No such thumbnail");
  std::string_view id = fileName.substr(0, fileName.size() - 4);
  if (!isImageId(id)) return textResponse(404, "No such thumbnail");
  auto thumbnail = service.images->thumbnail(id);
  if (!thumbnail && service.images->wasRemoved(id)) return goneResponse();
  if (!thumbnail) return textResponse(404, "No such thumbnail");
  Response response;
  response.headers = imageHeaders(fileName);
  response.contentType = "image/jpeg";
  response.body = std::move(*thumbnail);
  return response;
}

} // namespace glimor::server
