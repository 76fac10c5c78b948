#include "routes.h"
#include "links.h"

namespace glimor::server {
namespace {

constexpr std::uint64_t formLimit = 64 * 1024;
// Room for the multipart framing around the image, including a long file name.
constexpr std::uint64_t multipartOverhead = 64 * 1024;

} // namespace

std::string_view pathOf(std::string_view target) {
  return target.substr(0, target.find('?'));
}

std::string_view queryOf(std::string_view target) {
  std::size_t mark = target.find('?');
  return mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
}

Route routeOf(std::string_view target) {
  std::string_view path = pathOf(target);
  if (path == "/guestglimor.php") return Route::upload;
  if (path == "/glimor/index.php" && queryOf(target) == "do=contact") return Route::feedback;
  if (path.starts_with(links::deletionPrefix)) return Route::deletion;
  if (path.starts_with(links::imagePrefix)) return Route::image;
  if (path.starts_with(links::thumbnailPrefix)) return Route::thumbnail;
  if (path.starts_with(links::pagePrefix)) return Route::viewPage;
  if (path == "/newglimor.txt") return Route::versionFile;
  if (path == "/") return Route::homePage;
  if (path == "/my/upload") return Route::browserUpload;
  if (path == links::myPage || (path.starts_with(links::myPage) && path[links::myPage.size()] == '/'))
    return Route::myPage;
  return Route::file;
}

std::string_view allowedMethods(Route route) {
  switch (route) {
  case Route::upload:
  case Route::browserUpload:
  case Route::feedback:
    return "POST";
  case Route::deletion:
    return "GET, HEAD, POST";
  case Route::myPage:
    return "";
  default:
    return "GET, HEAD";
  }
}

bool allowsMethod(std::string_view allowed, std::string_view method) {
  if (allowed.empty()) return true;
  while (!allowed.empty()) {
    std::size_t comma = allowed.find(',');
    if (allowed.substr(0, comma) == method) return true;
    if (comma == std::string_view::npos) break;
    allowed.remove_prefix(comma + 1);
    while (allowed.starts_with(' ')) allowed.remove_prefix(1);
  }
  return false;
}

std::uint64_t bodyLimit(const Config& config, Route route) {
  return route == Route::upload || route == Route::browserUpload ? config.maxUploadBytes + multipartOverhead
                                                                 : formLimit;
}

} // namespace glimor::server
