#include "image_type.h"

#include <array>
#include <cstdint>

namespace glimor::server {
namespace {

constexpr ImageType bmp{"bmp", "image/bmp"};
constexpr ImageType jpeg{"jpg", "image/jpeg"};
constexpr ImageType gif{"gif", "image/gif"};
constexpr ImageType png{"png", "image/png"};
constexpr ImageType webm{"webm", "video/webm"};
constexpr std::array<ImageType, 5> allTypes = {bmp, jpeg, gif, png, webm};

std::uint32_t littleEndian32(std::string_view bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

// "BM" alone is too weak a signature (plain text may start with it), so the
// header must also be self-consistent: a known info-header size and a pixel
// offset inside the file.
bool looksLikeBmp(std::string_view bytes) {
  if (bytes.size() < 26 || !bytes.starts_with("BM")) return false;
  std::uint32_t pixelOffset = littleEndian32(bytes, 10);
  std::uint32_t infoSize = littleEndian32(bytes, 14);
  bool knownInfo = infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
                   infoSize == 108 || infoSize == 124;
  return knownInfo && pixelOffset >= 14 + infoSize && pixelOffset <= bytes.size();
}

} // namespace

std::optional<ImageType> sniffImageType(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (bytes.starts_with("\x89PNG\r\n\x1a\n"sv)) return png;
  if (bytes.starts_with("\xff\xd8\xff"sv)) return jpeg;
  if (bytes.starts_with("GIF87a"sv) || bytes.starts_with("GIF89a"sv)) return gif;
  if (looksLikeBmp(bytes)) return bmp;
  // Any EBML document: its check then tells a WebM from other Matroska files,
  // so that they are refused with a reason.
  if (bytes.starts_with("\x1a\x45\xdf\xa3"sv)) return webm;
  return std::nullopt;
}

std::optional<ImageType> imageTypeByExtension(std::string_view extension) {
  for (const ImageType& type : allTypes)
    if (type.extension == extension) return type;
  return std::nullopt;
}

} // namespace glimor::server
