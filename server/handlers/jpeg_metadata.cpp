#include "metadata.h"

namespace glimor::server {
namespace {

constexpr std::uint8_t app1 = 0xE1, app13 = 0xED, startOfScan = 0xDA;

bool isMetadata(std::uint8_t marker, std::string_view body) {
  if (marker == app1)
    return body.starts_with(std::string_view("Exif\0", 5)) ||
           body.starts_with(std::string_view("http://ns.adobe.com/xap/1.0/\0", 29)) ||
           body.starts_with(std::string_view("http://ns.adobe.com/xmp/extension/\0", 35));
  return marker == app13; // "Photoshop 3.0": IPTC and Photoshop's own resources
}

std::string segment(std::uint8_t marker, std::string_view body) {
  const std::size_t length = body.size() + 2;
  return std::string{char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)} + std::string(body);
}

} // namespace

std::string withoutJpegMetadata(std::string_view jpeg) {
  if (!jpeg.starts_with("\xFF\xD8")) return std::string(jpeg);
  std::string kept(jpeg.substr(0, 2));
  std::optional<std::uint16_t> orientation;
  std::size_t orientationAt = std::string::npos; // where the first Exif segment was
  std::size_t at = 2;
  // The segments before the first scan, each FF, its marker, a length that counts
  // itself; from the scan on, everything is the picture's and is kept.
  while (at + 4 <= jpeg.size() && std::uint8_t(jpeg[at]) == 0xFF) {
    const auto marker = std::uint8_t(jpeg[at + 1]);
    if (marker == 0xFF) { // a fill byte before a marker
      kept += jpeg[at++];
      continue;
    }
    if (marker == startOfScan) break;
    const std::size_t length = std::uint8_t(jpeg[at + 2]) << 8 | std::uint8_t(jpeg[at + 3]);
    if (length < 2 || at + 2 + length > jpeg.size()) return std::string(jpeg);
    const std::string_view body = jpeg.substr(at + 4, length - 2);
    if (!isMetadata(marker, body)) {
      kept += jpeg.substr(at, 2 + length);
    } else if (orientationAt == std::string::npos && marker == app1 && body.starts_with("Exif")) {
      orientation = exifOrientation(body);
      orientationAt = kept.size();
    }
    at += 2 + length;
  }
  if (orientation && *orientation != 1)
    kept.insert(orientationAt, segment(app1, exifWithOrientation(*orientation)));
  return kept + std::string(jpeg.substr(at));
}

} // namespace glimor::server
