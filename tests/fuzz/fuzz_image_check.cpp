// Drives the upload's image checks with arbitrary bytes, each check making a
// thumbnail from what it decodes. Besides not crashing or leaking, a check
// that calls an image complete must have given the thumbnail a picture within
// the size rules.
#include "image_check.h"
#include "image_type.h"
#include "refusal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto type = glimor::server::sniffImageType(bytes);
  if (!type) return 0;
  glimor::server::ThumbnailMaker thumbnail;
  try {
    if (!glimor::server::isCompleteImage(bytes, *type, 1 << 20, &thumbnail)) return 0;
  } catch (const glimor::server::Refusal&) {
    return 0;
  }
  if (thumbnail.ownJpeg()) { // a small JPEG is its own thumbnail, so it must be one by its size
    auto own = thumbnail.pictureSize();
    if (type->extension != "jpg" || own.width < 1 || own.height < 1 ||
        std::max(own.width, own.height) > glimor::server::thumbnailSide ||
        size > glimor::server::ownThumbnailBytes)
      std::abort();
    return 0;
  }
  auto picture = thumbnail.picture();
  auto wanted = glimor::server::thumbnailSize(thumbnail.pictureSize().width, thumbnail.pictureSize().height);
  if (picture.width < 1 || picture.height < 1 || picture.width > wanted.width ||
      picture.height > wanted.height ||
      std::max(picture.width, picture.height) > glimor::server::thumbnailSide)
    std::abort();
  if (thumbnail.jpeg().empty()) std::abort();
  return 0;
}
