#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// What an upload tells of its maker beyond its pixels (where and when it was
// taken, the camera, the software, free text) taken out, byte by byte: no
// pixel is decoded or encoded again, so the picture stays exactly as it was.
// Each takes a file that its image check has passed; what it cannot walk it
// gives back unchanged.

// A JPEG without its APP1 Exif and XMP segments and APP13 (Photoshop's IPTC);
// every other segment and the scans stay as they were. An Orientation other
// than 1 is kept in a new Exif segment that holds nothing else, in the place
// of the old one, so the photo is still shown upright.
std::string withoutJpegMetadata(std::string_view jpeg);

// A PNG without its eXIf, tEXt, zTXt, iTXt and tIME chunks.
std::string withoutPngMetadata(std::string_view png);

// The Orientation (1 to 8) an Exif segment's body ("Exif\0\0" and its TIFF
// structure) gives; nothing when it has none or cannot be read.
std::optional<std::uint16_t> exifOrientation(std::string_view exif);

// The body of an Exif segment holding only `orientation`.
std::string exifWithOrientation(std::uint16_t orientation);

} // namespace glimor::server
