#include "preview_tags.h"

#include "html_text.h"

namespace glimor::server {
namespace {

std::string tag(std::string_view attribute, std::string_view name, std::string_view value) {
  return "<meta " + std::string(attribute) + "=\"" + std::string(name) + "\" content=\"" + escapeHtml(value) +
         "\">\n";
}

std::string property(std::string_view name, std::string_view value) {
  return tag("property", name, value);
}

std::string sizeTags(std::string_view what, std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0) return "";
  return property(std::string(what) + ":width", std::to_string(width)) +
         property(std::string(what) + ":height", std::to_string(height));
}

} // namespace

std::string previewTags(const PreviewFacts& facts) {
  const bool video = !facts.videoUrl.empty();
  std::string tags = property("og:title", facts.title) +
                     property("og:type", video ? "video.other" : "website") +
                     property("og:url", facts.pageUrl) + property("og:image", facts.imageUrl) +
                     property("og:image:type", facts.imageType);
  tags += sizeTags("og:image", facts.imageWidth, facts.imageHeight);
  if (video)
    tags += property("og:video", facts.videoUrl) + property("og:video:type", facts.videoType) +
            sizeTags("og:video", facts.videoWidth, facts.videoHeight);
  // Twitter's cards are named by "name"; most other bots read them too.
  return tags + tag("name", "twitter:card", "summary_large_image") +
         tag("name", "twitter:image", facts.imageUrl);
}

} // namespace glimor::server
