#include "imaging/gif_encoder.h"

#include "imaging/colour_reduction.h"
#include "imaging/little_endian.h"
#include "imaging/lzw_encoder.h"

namespace glimor::imaging {
namespace {

constexpr int largestSide = 65535; // GIF stores sizes in 16 bits

void putColourTable(platform::Bytes& out, const std::vector<std::uint32_t>& palette) {
  for (std::size_t i = 0; i < 256; ++i) {
    const std::uint32_t rgb = i < palette.size() ? palette[i] : 0;
    out.push_back(static_cast<std::uint8_t>(rgb >> 16)); // red, green, blue
    out.push_back(static_cast<std::uint8_t>(rgb >> 8));
    out.push_back(static_cast<std::uint8_t>(rgb));
  }
}

} // namespace

void GifEncoder::assign(std::shared_ptr<const Bitmap> bitmap) {
  frame = std::move(bitmap);
}

platform::Bytes GifEncoder::bytes() const {
  if (!frame || !frame->hasPixels()) throw EInvalidGraphicOperation("No GIF Data to write");
  if (!frame->isValid() || frame->width > largestSide || frame->height > largestSide)
    throw EInvalidGraphic("Bitmap image is not valid");
  if (frame->bitsPerPixel == 24 || frame->bitsPerPixel == 32) return encodeGif(reduceColours(*frame));
  return encodeGif(reduceColours(toBgr24(*frame)));
}

void GifEncoder::saveToFile(const std::string& path, platform::Files& files) const {
  files.replace(path, bytes());
}

platform::Bytes encodeGif(const Bitmap& indexed8) {
  platform::Bytes out;
  out.reserve(800 + indexed8.pixels.size() / 2);
  const char signature[] = "GIF87a";
  out.insert(out.end(), signature, signature + 6);
  // Logical screen descriptor: the image's size; 0xF7 = global table present (0x80),
  // colour resolution 7 (8 bits), not sorted, table of 2^(7+1) = 256 entries.
  le::put16(out, static_cast<std::uint32_t>(indexed8.width));
  le::put16(out, static_cast<std::uint32_t>(indexed8.height));
  out.push_back(0xF7);
  out.push_back(0); // background colour index
  out.push_back(0); // pixel aspect ratio: not given
  putColourTable(out, indexed8.palette);
  // Image descriptor: at (0, 0), the full size, no local table, not interlaced.
  out.push_back(0x2C);
  le::put16(out, 0);
  le::put16(out, 0);
  le::put16(out, static_cast<std::uint32_t>(indexed8.width));
  le::put16(out, static_cast<std::uint32_t>(indexed8.height));
  out.push_back(0x00);
  encodeLzw(indexed8, out);
  out.push_back(0x3B); // trailer
  return out;
}

} // namespace glimor::imaging
