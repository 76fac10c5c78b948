#include "image_check.h"

#include "imaging/bmp_reader.h"
#include "platform/error.h"

#include <span>

namespace glimor::server {

bool isCompleteImage(std::string_view bytes, const ImageType& type, std::uint64_t maxPixels) {
  if (type.extension == "bmp") return isCompleteBmp(bytes, maxPixels);
  if (type.extension == "jpg") return isCompleteJpeg(bytes, maxPixels);
  if (type.extension == "gif") return isCompleteGif(bytes, maxPixels);
  if (type.extension == "png") return isCompletePng(bytes, maxPixels);
  return false;
}

// Uncompressed rows hold no byte that could be wrong, so the headers and the length
// say it all. The image ends with its last row, computed from width, depth and
// height; the header's file-size field is not trusted, since writers fill it
// carelessly.
bool isCompleteBmp(std::string_view bytes, std::uint64_t maxPixels) {
  imaging::BmpLayout layout;
  try {
    layout =
        imaging::readBmpLayout(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  } catch (const Error&) {
    return false;
  }
  return std::uint64_t(layout.width) * std::uint64_t(layout.height) <= maxPixels &&
         layout.pixelOffset + layout.imageSize == bytes.size();
}

} // namespace glimor::server
