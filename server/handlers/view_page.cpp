#include "html_page.h"
#include "html_text.h"
#include "image_id.h"
#include "links.h"
#include "preview_tags.h"
#include "public_link.h"
#include "service.h"
#include "upload_texts.h"

// An upload's own page, /v/ID: the picture or recording fitted to the window,
// its size and date, and its direct link to copy; in its head, the tags chats
// build their previews from. Plain HTML, like the page of one's uploads.
namespace glimor::server {
namespace {

constexpr std::string_view style =
    "html,body{margin:0;height:100%;background:#222;color:#eee;font-family:sans-serif}"
    "body{display:flex;flex-direction:column}main{flex:1;min-height:0;display:flex;align-items:center;"
    "justify-content:center;padding:.5em}"
    "main img,main video{max-width:100%;max-height:calc(100vh - "
    "5em);width:auto;height:auto;object-fit:contain}"
    "footer{padding:.5em 1em;display:flex;gap:1em;align-items:center;flex-wrap:wrap}"
    ".link{flex:1;min-width:20em;font-family:monospace}.meta{color:#bbb}";

Response gonePage() {
  Response response = htmlResponse({.status = 410,
                                    .title = "Deleted",
                                    .style = std::string(style),
                                    .body = "<main><p>This upload was deleted.</p></main>\n",
                                    .cacheControl = "no-cache"});
  return response;
}

std::string titleOf(const ImageRecord& image) {
  std::string title = image.durationMs ? "Recording" : "Screenshot";
  if (image.width && image.height)
    title += " " + std::to_string(image.width) + " \xC3\x97 " + std::to_string(image.height); // U+00D7
  if (image.durationMs) title += ", " + durationText(*image.durationMs);
  return title;
}

PreviewFacts previewOf(const ImageRecord& image, const std::string& base, const std::string& link) {
  PreviewFacts facts{.title = titleOf(image),
                     .pageUrl = base + links::pagePath(image.id),
                     .imageUrl = link,
                     .imageType = image.type.mimeType,
                     .imageWidth = image.width,
                     .imageHeight = image.height};
  if (!image.durationMs) return facts;
  facts.videoUrl = link;
  facts.videoType = image.type.mimeType;
  facts.videoWidth = image.width, facts.videoHeight = image.height;
  if (image.type.isVideo()) { // a video is shown in previews by its thumbnail
    facts.imageUrl = base + links::thumbnailPath(image.id);
    facts.imageType = "image/jpeg";
    const PictureSize small = thumbnailSize(int(image.width), int(image.height));
    facts.imageWidth = image.width ? std::uint32_t(small.width) : 0;
    facts.imageHeight = image.height ? std::uint32_t(small.height) : 0;
  }
  return facts;
}

} // namespace

Response handleViewPage(Service& service, const Request& request, std::string_view id) {
  ImageQuery query;
  query.id = std::string(id);
  auto found = isImageId(id) ? service.images->list(query) : std::vector<ImageRecord>{};
  if (found.empty() && isImageId(id) && service.images->wasRemoved(id)) return gonePage();
  if (found.empty()) return textResponse(404, "No such upload");
  const ImageRecord& image = found.front();

  const std::string base =
      linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);
  const std::string file = links::imagePath(image.id, image.type.extension);
  const std::string link = base + file;
  const std::string size =
      image.width && image.height
          ? " width=\"" + std::to_string(image.width) + "\" height=\"" + std::to_string(image.height) + "\""
          : "";
  const std::string title = titleOf(image);
  std::string shown = image.type.isVideo()
                          ? "<video controls src=\"/" + escapeHtml(file) + "\"" + size + "></video>"
                          : "<a href=\"/" + escapeHtml(file) + "\"><img src=\"/" + escapeHtml(file) +
                                "\" alt=\"" + escapeHtml(title) + "\"" + size + "></a>";
  std::string facts = image.width && image.height ? std::to_string(image.width) + " \xC3\x97 " +
                                                        std::to_string(image.height) + " pixels, "
                                                  : "";
  if (image.durationMs) facts += durationText(*image.durationMs) + ", ";
  facts += sizeText(image.size) + " &middot; " + escapeHtml(dateText(image.createdAt));
  std::string body = "<main>" + shown + "</main>\n<footer><span class=\"meta\">" + facts +
                     "</span>\n<input class=\"link\" type=\"text\" readonly value=\"" + escapeHtml(link) +
                     "\" aria-label=\"Direct link to copy\"></footer>\n";
  // Short-lived in caches, so that a deleted upload's page soon says so.
  return htmlResponse({.title = title,
                       .head = previewTags(previewOf(image, base, link)),
                       .style = std::string(style),
                       .body = std::move(body),
                       .cacheControl = "public, max-age=60"});
}

} // namespace glimor::server
