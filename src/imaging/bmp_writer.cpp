#include "imaging/bmp_writer.h"

#include "imaging/little_endian.h"
#include "platform/error.h"

namespace glimor::imaging {

platform::Bytes encodeBmp(const Bitmap& bitmap) {
  if (!bitmap.isValid()) throw Error("Bitmap image is not valid");
  const std::uint32_t depth = static_cast<std::uint32_t>(bitmap.bitsPerPixel);
  const std::uint32_t colours = depth <= 8 ? 1u << depth : 0;
  const std::uint32_t tableSize = 4 * colours;
  const std::size_t imageSize = bitmap.stride() * static_cast<std::size_t>(bitmap.height);
  const std::uint32_t pixelOffset = 14 + 40 + tableSize;

  platform::Bytes out;
  out.reserve(pixelOffset + imageSize);
  // File header.
  out.push_back('B');
  out.push_back('M');
  le::put32(out, static_cast<std::uint32_t>(pixelOffset + imageSize));
  le::put16(out, 0); // reserved
  le::put16(out, 0); // reserved
  le::put32(out, pixelOffset);
  // Information header (BITMAPINFOHEADER).
  le::put32(out, 40);
  le::put32(out, static_cast<std::uint32_t>(bitmap.width));
  le::put32(out, static_cast<std::uint32_t>(bitmap.height)); // positive: rows stored bottom-up
  le::put16(out, 1);                                         // planes
  le::put16(out, depth);
  le::put32(out, 0); // uncompressed; 16-bit pixels are therefore 5-5-5 without colour masks
  le::put32(out, static_cast<std::uint32_t>(imageSize));
  le::put32(out, 0); // horizontal resolution: unspecified
  le::put32(out, 0); // vertical resolution
  le::put32(out, colours);
  le::put32(out, 0); // important colours: all
  // Colour table: blue, green, red, 0 per entry; entries the palette lacks are black.
  for (std::uint32_t i = 0; i < colours; ++i) {
    const std::uint32_t rgb = i < bitmap.palette.size() ? bitmap.palette[i] : 0;
    out.push_back(static_cast<std::uint8_t>(rgb));
    out.push_back(static_cast<std::uint8_t>(rgb >> 8));
    out.push_back(static_cast<std::uint8_t>(rgb >> 16));
    out.push_back(0);
  }
  out.insert(out.end(), bitmap.pixels.begin(),
             bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(imageSize));
  return out;
}

} // namespace glimor::imaging
