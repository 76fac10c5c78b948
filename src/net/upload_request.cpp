#include "net/upload_request.h"

#include "platform/paths.h"

#include <array>

namespace glimor::net {

bool isAcceptedExtension(std::string_view extension) {
  constexpr std::array<std::string_view, 7> accepted = {"bmp", "jpeg", "jpg", "gif", "png", "swf", "webm"};
  for (std::string_view known : accepted)
    if (extension == known) return true;
  return false;
}

std::string mediaTypeOf(std::string_view extension) {
  return (extension == "webm" ? "video/" : "image/") + std::string(extension);
}

std::vector<std::uint8_t> buildUploadBody(std::string_view filePath, std::span<const std::uint8_t> image) {
  std::string extension = paths::extensionOf(filePath);
  if (!extension.empty()) extension.erase(0, 1);

  std::string head = "--" + std::string(uploadBoundary) + "\r\n";
  head += "Content-Disposition: form-data; name=\"imgfile\"; filename=\"";
  head += filePath;
  head += "\"\r\n";
  head += "Content-Type: " + mediaTypeOf(extension) + "\r\n";
  head += "\r\n";
  const std::string tail = "\r\n--" + std::string(uploadBoundary) + "--\r\n";

  std::vector<std::uint8_t> body;
  body.reserve(head.size() + image.size() + tail.size());
  body.insert(body.end(), head.begin(), head.end());
  body.insert(body.end(), image.begin(), image.end());
  body.insert(body.end(), tail.begin(), tail.end());
  return body;
}

} // namespace glimor::net
