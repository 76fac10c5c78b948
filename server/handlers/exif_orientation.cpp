#include "metadata.h"

namespace glimor::server {
namespace {

constexpr std::string_view exifHeader{"Exif\0\0", 6};
constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t shortType = 3;

// Reads TIFF's numbers in the byte order its header names ("II" little, "MM" big).
struct TiffReader {
  std::string_view tiff;
  bool little;

  std::optional<std::uint32_t> number(std::size_t at, int bytes) const {
    if (at > tiff.size() || std::size_t(bytes) > tiff.size() - at) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      const auto byte = std::uint8_t(tiff[at + (little ? bytes - 1 - i : i)]);
      value = value << 8 | byte;
    }
    return value;
  }
};

} // namespace

std::optional<std::uint16_t> exifOrientation(std::string_view exif) {
  if (!exif.starts_with(exifHeader)) return std::nullopt;
  const std::string_view tiff = exif.substr(exifHeader.size());
  if (!tiff.starts_with("II") && !tiff.starts_with("MM")) return std::nullopt;
  const TiffReader read{tiff, tiff.starts_with("II")};
  const auto firstDirectory = read.number(4, 4);
  const auto entries = firstDirectory ? read.number(*firstDirectory, 2) : std::nullopt;
  if (!entries) return std::nullopt;
  // Each entry: tag (2), type (2), count (4), the value or its offset (4).
  for (std::uint32_t i = 0; i < *entries; ++i) {
    const std::size_t entry = std::size_t(*firstDirectory) + 2 + 12 * std::size_t(i);
    const auto tag = read.number(entry, 2), type = read.number(entry + 2, 2),
               count = read.number(entry + 4, 4);
    if (!tag || !type || !count) return std::nullopt;
    if (*tag != orientationTag) continue;
    const auto value = read.number(entry + 8, 2);
    if (*type != shortType || *count != 1 || !value || *value < 1 || *value > 8) return std::nullopt;
    return std::uint16_t(*value);
  }
  return std::nullopt;
}

std::string exifWithOrientation(std::uint16_t orientation) {
  std::string exif(exifHeader);
  exif += std::string_view("MM\0\x2A\0\0\0\x08", 8);       // big-endian TIFF, its first directory right after
  exif += std::string_view("\0\x01", 2);                   // one entry:
  exif += std::string_view("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, one value
  exif += char(orientation >> 8);
  exif += char(orientation & 0xFF);
  exif += std::string(2, '\0'); // the value's unused half
  exif += std::string(4, '\0'); // no next directory
  return exif;
}

} // namespace glimor::server
