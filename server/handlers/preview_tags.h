#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace glimor::server {

// What an upload's page tells the link previews of chats (Open Graph and
// Twitter card tags). Links are absolute: a chat's bot resolves nothing.
struct PreviewFacts {
  std::string title{};
  std::string pageUrl{};
  std::string imageUrl{}; // the picture a preview shows
  std::string_view imageType{};
  std::uint32_t imageWidth = 0, imageHeight = 0; // 0: not known, left out
  std::string videoUrl{};                        // a recording's own link; empty for a still picture
  std::string_view videoType{};
  std::uint32_t videoWidth = 0, videoHeight = 0;
};

// The <meta> lines for the page's head, short enough that bots which read only
// the start of a page find them all.
std::string previewTags(const PreviewFacts& facts);

} // namespace glimor::server
