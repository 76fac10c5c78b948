#pragma once
#include <string>
#include <string_view>

namespace glimor::server::links {

// The paths of an upload's links: made here, and read back by their prefixes here.
// Each made path is relative to a link base that ends with "/".
inline constexpr std::string_view imagePrefix = "/i/";     // /i/ID.EXT: the file itself
inline constexpr std::string_view thumbnailPrefix = "/t/"; // /t/ID.jpg
inline constexpr std::string_view deletionPrefix = "/d/";  // /d/ID/SECRET
inline constexpr std::string_view pagePrefix = "/v/";      // /v/ID: the upload's page
inline constexpr std::string_view myPage = "/my";          // the page of one's uploads, and /my/...

std::string imagePath(std::string_view id, std::string_view extension);
std::string thumbnailPath(std::string_view id);
std::string deletionPath(std::string_view id, std::string_view secret);
std::string pagePath(std::string_view id);

// What follows a link's prefix ("ID.EXT" of "/i/ID.EXT"); the path must start with one.
std::string_view afterPrefix(std::string_view path);

} // namespace glimor::server::links
