#pragma once
#include <optional>
#include <string_view>

namespace glimor::server {

// The image formats the service keeps, and WebM recordings (silent VP8 or VP9
// video) beside them. The format is decided by the file's first
// bytes, never by the name or the Content-Type the client claims.
struct ImageType {
  std::string_view extension; // as used in links and stored file names, e.g. "png"
  std::string_view mimeType;  // e.g. "image/png"

  // A recording plays for a while: its answers and lists give its duration.
  bool isVideo() const { return mimeType.starts_with("video/"); }

  bool operator==(const ImageType&) const = default;
};

std::optional<ImageType> sniffImageType(std::string_view bytes);

// The type whose extension is exactly `extension`; nothing for any other text.
std::optional<ImageType> imageTypeByExtension(std::string_view extension);

} // namespace glimor::server
