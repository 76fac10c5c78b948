#include "imaging/bmp_reader.h"

#include "imaging/little_endian.h"
#include "platform/error.h"

#include <cstring>
#include <string>

namespace glimor::imaging {
namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;
constexpr std::int64_t largestSide = 65535;

void require(bool condition, const char* message) {
  if (!condition) throw Error(message);
}

bool isDisplayDepth(std::uint32_t depth) {
  return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

// BI_BITFIELDS is accepted only with the masks that describe plain blue, green, red bytes.
// The masks follow the 40-byte header, inside the newer headers and after the older one.
void checkBitfields(std::span<const std::uint8_t> file) {
  const std::size_t masksAt = fileHeaderSize + infoHeaderSize;
  require(file.size() >= masksAt + 12, "truncated BMP file (colour masks missing)");
  require(le::get32(&file[masksAt]) == 0x00FF0000 && le::get32(&file[masksAt + 4]) == 0x0000FF00 &&
              le::get32(&file[masksAt + 8]) == 0x000000FF,
          "unsupported BMP colour masks (only 8-bit blue, green, red are read)");
}

// The colour table follows the information header: blue, green, red, unused per entry.
// Entries the file leaves out are black, as for a display with a shorter palette.
std::vector<std::uint32_t> readPalette(std::span<const std::uint8_t> file, std::uint32_t depth,
                                       std::uint32_t headerSize, std::size_t pixelOffset) {
  const std::uint32_t entries = 1u << depth;
  std::uint32_t used = le::get32(&file[46]);
  if (used == 0) used = entries;
  require(used <= entries, "invalid BMP file (more colours than the depth can index)");
  const std::size_t tableAt = fileHeaderSize + headerSize;
  require(tableAt + 4 * std::size_t{used} <= pixelOffset, "truncated BMP file (colour table missing)");
  std::vector<std::uint32_t> palette(entries, 0);
  for (std::uint32_t i = 0; i < used; ++i) {
    const std::uint8_t* entry = &file[tableAt + 4 * i];
    palette[i] =
        static_cast<std::uint32_t>(entry[2]) << 16 | static_cast<std::uint32_t>(entry[1]) << 8 | entry[0];
  }
  return palette;
}

} // namespace

BmpLayout readBmpLayout(std::span<const std::uint8_t> file) {
  require(file.size() >= 2 && file[0] == 'B' && file[1] == 'M', "not a BMP file (no \"BM\" signature)");
  require(file.size() >= fileHeaderSize + infoHeaderSize, "truncated BMP file (headers incomplete)");
  const std::uint32_t pixelOffset = le::get32(&file[10]);
  const std::uint32_t headerSize = le::get32(&file[14]);
  require(headerSize >= infoHeaderSize,
          "unsupported BMP header (a 40-byte or newer information header is needed)");
  const std::int64_t width = static_cast<std::int32_t>(le::get32(&file[18]));
  const std::int64_t height = static_cast<std::int32_t>(le::get32(&file[22]));
  const std::uint32_t planes = le::get16(&file[26]);
  const std::uint32_t depth = le::get16(&file[28]);
  const std::uint32_t compression = le::get32(&file[30]);

  require(planes == 1, "invalid BMP file (planes is not 1)");
  require(isDisplayDepth(depth), "unsupported BMP depth (1, 2, 4, 8, 16, 24 and 32 bits per pixel are read)");
  if (compression == 3 && depth == 32)
    checkBitfields(file);
  else
    require(compression == 0, "unsupported BMP compression (only uncompressed files are read)");
  require(width > 0 && height != 0, "invalid BMP size (width or height is 0 or negative)");
  const std::int64_t rows = height < 0 ? -height : height;
  require(width <= largestSide && rows <= largestSide, "BMP image too large (more than 65535 pixels a side)");

  BmpLayout layout;
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(rows);
  layout.bitsPerPixel = static_cast<int>(depth);
  layout.topDown = height < 0;
  layout.pixelOffset = pixelOffset;
  layout.imageSize = layout.stride() * static_cast<std::size_t>(rows);
  require(pixelOffset >= fileHeaderSize + headerSize && pixelOffset <= file.size() &&
              file.size() - pixelOffset >= layout.imageSize,
          "truncated BMP file (pixel rows missing)");
  if (depth <= 8) layout.palette = readPalette(file, depth, headerSize, pixelOffset);
  return layout;
}

Bitmap decodeBmp(std::span<const std::uint8_t> file) {
  BmpLayout layout = readBmpLayout(file);
  Bitmap bitmap;
  bitmap.width = layout.width;
  bitmap.height = layout.height;
  bitmap.bitsPerPixel = layout.bitsPerPixel;
  bitmap.palette = std::move(layout.palette);
  const std::size_t stride = layout.stride();
  bitmap.pixels.resize(layout.imageSize);
  const std::uint8_t* source = file.data() + layout.pixelOffset;
  for (int y = 0; y < layout.height; ++y) {
    const int target = layout.topDown ? layout.height - 1 - y : y;
    std::memcpy(bitmap.pixels.data() + stride * static_cast<std::size_t>(target),
                source + stride * static_cast<std::size_t>(y), stride);
  }
  return bitmap;
}

} // namespace glimor::imaging
