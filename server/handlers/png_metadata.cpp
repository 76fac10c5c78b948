#include "metadata.h"

#include <array>

namespace glimor::server {
namespace {

constexpr std::size_t signatureSize = 8;
// eXIf: Exif (places, cameras); tEXt, zTXt, iTXt: free text (authors, software,
// comments); tIME: when it was last changed.
constexpr std::array<std::string_view, 5> metadataChunks = {"eXIf", "tEXt", "zTXt", "iTXt", "tIME"};

} // namespace

std::string withoutPngMetadata(std::string_view png) {
  std::string kept(png.substr(0, signatureSize));
  std::size_t at = signatureSize;
  // Each chunk: its length (4, big-endian), type (4), data, CRC (4).
  while (at + 12 <= png.size()) {
    const std::uint64_t length = std::uint64_t(std::uint8_t(png[at])) << 24 |
                                 std::uint8_t(png[at + 1]) << 16 | std::uint8_t(png[at + 2]) << 8 |
                                 std::uint8_t(png[at + 3]);
    if (length > png.size() - at - 12) return std::string(png);
    const std::string_view type = png.substr(at + 4, 4);
    bool metadata = false;
    for (std::string_view name : metadataChunks) metadata = metadata || type == name;
    if (!metadata) kept += png.substr(at, 12 + length);
    at += 12 + length;
  }
  return at == png.size() ? kept : std::string(png);
}

} // namespace glimor::server
