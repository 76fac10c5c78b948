#include "deletion_secret.h"
#include "html_page.h"
#include "image_id.h"
#include "service.h"

namespace glimor::server {
namespace {

// The page behind a deletion link: following the link (a preview bot, a
// browser's prefetch) deletes nothing; only its button, a POST, does.
Response confirmationPage(std::string_view path) {
  // The path holds only id and secret characters, checked before; no Referer carries it on.
  return htmlResponse(
      {.title = "Delete image",
       .style = "body{font-family:sans-serif;max-width:40em;margin:2em auto}",
       .body = "<h1>Delete this image?</h1>\n<p>The image and its link will be gone for good.</p>\n"
               "<form method=\"post\" action=\"" +
               std::string(path) + "\"><button type=\"submit\">Delete image</button></form>\n",
       .referrerPolicy = "no-referrer"});
}

} // namespace

Response handleDeletion(Service& service, const Request& request, std::string_view idAndSecret) {
  std::size_t slash = idAndSecret.find('/');
  std::string_view id = idAndSecret.substr(0, slash);
  std::string_view secret = slash == std::string_view::npos ? "" : idAndSecret.substr(slash + 1);
  if (!isImageId(id) || !isDeletionSecret(secret)) return textResponse(404, "No such deletion link");

  auto storedHash = service.images->deletionHash(id);
  if (!storedHash) {
    if (service.images->wasRemoved(id)) return textResponse(410, "Image already deleted");
    return textResponse(404, "No such deletion link");
  }
  if (!deletionSecretMatches(secret, *storedHash)) return textResponse(404, "No such deletion link");
  if (request.method != "POST") return confirmationPage(request.path());

  if (!service.images->remove(id)) return textResponse(410, "Image already deleted");
  Response response;
  response.contentType = "text/plain; charset=utf-8";
  response.body = "Image deleted.\r\n";
  return response;
}

} // namespace glimor::server
