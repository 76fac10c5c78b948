#include "imaging/bmp_reader.h"

#include "imaging/little_endian.h"
#include "platform/error.h"

#include <cstring>
#include <string>

namespace glimor::imaging {
namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::int64_t largestSide = 65535;

void require(bool condition, const char* message) {
  if (!condition) throw Error(message);
}

// BI_BITFIELDS is accepted only with the masks that describe plain blue, green, red bytes.
// The masks follow the 40-byte header, inside the newer headers and after the older one.
void checkBitfields(std::span<const std::uint8_t> file) {
  const std::size_t masksAt = fileHeaderSize + 40;
  require(file.size() >= masksAt + 12, "truncated BMP file (colour masks missing)");
  require(le::get32(&file[masksAt]) == 0x00FF0000 && le::get32(&file[masksAt + 4]) == 0x0000FF00 &&
              le::get32(&file[masksAt + 8]) == 0x000000FF,
          "unsupported BMP colour masks (only 8-bit blue, green, red are read)");
}

} // namespace

Bitmap decodeBmp(std::span<const std::uint8_t> file) {
  require(file.size() >= 2 && file[0] == 'B' && file[1] == 'M', "not a BMP file (no \"BM\" signature)");
  require(file.size() >= fileHeaderSize + 40, "truncated BMP file (headers incomplete)");
  const std::uint32_t pixelOffset = le::get32(&file[10]);
  const std::uint32_t headerSize = le::get32(&file[14]);
  require(headerSize >= 40, "unsupported BMP header (a 40-byte or newer information header is needed)");
  const std::int64_t width = static_cast<std::int32_t>(le::get32(&file[18]));
  const std::int64_t height = static_cast<std::int32_t>(le::get32(&file[22]));
  const std::uint32_t planes = le::get16(&file[26]);
  const std::uint32_t depth = le::get16(&file[28]);
  const std::uint32_t compression = le::get32(&file[30]);

  require(planes == 1, "invalid BMP file (planes is not 1)");
  require(depth == 24 || depth == 32, "unsupported BMP depth (only 24 and 32 bits per pixel are read)");
  if (compression == 3 && depth == 32)
    checkBitfields(file);
  else
    require(compression == 0, "unsupported BMP compression (only uncompressed files are read)");
  require(width > 0 && height != 0, "invalid BMP size (width or height is 0 or negative)");
  const bool topDown = height < 0;
  const std::int64_t rows = topDown ? -height : height;
  require(width <= largestSide && rows <= largestSide, "BMP image too large (more than 65535 pixels a side)");

  Bitmap bitmap;
  bitmap.width = static_cast<int>(width);
  bitmap.height = static_cast<int>(rows);
  bitmap.bitsPerPixel = static_cast<int>(depth);
  const std::size_t stride = bitmap.stride();
  const std::size_t imageSize = stride * static_cast<std::size_t>(rows);
  require(pixelOffset >= fileHeaderSize + headerSize && pixelOffset <= file.size() &&
              file.size() - pixelOffset >= imageSize,
          "truncated BMP file (pixel rows missing)");

  bitmap.pixels.resize(imageSize);
  const std::uint8_t* source = file.data() + pixelOffset;
  for (std::int64_t y = 0; y < rows; ++y) {
    const std::int64_t target = topDown ? rows - 1 - y : y;
    std::memcpy(bitmap.pixels.data() + stride * static_cast<std::size_t>(target),
                source + stride * static_cast<std::size_t>(y), stride);
  }
  return bitmap;
}

} // namespace glimor::imaging
