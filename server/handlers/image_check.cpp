#include "image_check.h"

#include "imaging/bmp_reader.h"
#include "platform/error.h"
#include "refusal.h"

#include <span>
#include <vector>

namespace glimor::server {
namespace {

std::uint8_t widen5(std::uint32_t value) {
  return static_cast<std::uint8_t>((value << 3) | (value >> 2));
}

// One BMP row as red, green, blue; the palette holds 0x00RRGGBB.
void bmpRowToRgb(const imaging::BmpLayout& layout, const std::uint8_t* row, std::vector<std::uint8_t>& rgb) {
  const int depth = layout.bitsPerPixel, width = layout.width;
  std::uint8_t* out = rgb.data();
  if (depth == 24 || depth == 32) { // blue, green, red (and one unused byte at 32 bits)
    const int step = depth / 8;
    for (int x = 0; x < width; ++x, out += 3, row += step) out[0] = row[2], out[1] = row[1], out[2] = row[0];
  } else if (depth == 16) { // 5-5-5, little-endian
    for (int x = 0; x < width; ++x, out += 3, row += 2) {
      const std::uint32_t pixel = row[0] | (std::uint32_t(row[1]) << 8);
      out[0] = widen5((pixel >> 10) & 31), out[1] = widen5((pixel >> 5) & 31), out[2] = widen5(pixel & 31);
    }
  } else {
    const int perByte = 8 / depth;
    for (int x = 0; x < width; ++x, out += 3) {
      const int shift = 8 - depth * (x % perByte + 1);
      const std::uint32_t index = (row[x / perByte] >> shift) & ((1u << depth) - 1);
      const std::uint32_t colour = index < layout.palette.size() ? layout.palette[index] : 0;
      out[0] = std::uint8_t(colour >> 16), out[1] = std::uint8_t(colour >> 8), out[2] = std::uint8_t(colour);
    }
  }
}

void bmpThumbnail(std::string_view bytes, const imaging::BmpLayout& layout, ThumbnailMaker& thumbnail) {
  const PictureSize size{layout.width, layout.height};
  thumbnail.start(size, size);
  std::vector<std::uint8_t> rgb(std::size_t(layout.width) * 3);
  DecodeClock clock;
  for (int i = 0; i < layout.height; ++i) {
    clock.checkAfterRow(layout.stride());
    const int y = layout.topDown ? i : layout.height - 1 - i;
    if (!thumbnail.wantsRow(y)) continue;
    const auto* row = reinterpret_cast<const std::uint8_t*>(bytes.data()) + layout.pixelOffset +
                      std::size_t(i) * layout.stride();
    bmpRowToRgb(layout, row, rgb);
    thumbnail.add(y, 0, 1, layout.width, rgb.data());
  }
}

} // namespace

void countFrame(Motion& motion, std::uint64_t& totalPixels, std::uint64_t pixels, const PixelLimits& limits) {
  if (pixels > limits.maxPixels)
    throw Refusal(415, "Frame of more than " + std::to_string(limits.maxPixels) + " pixels: too large");
  if (++motion.frames > maxRecordingFrames)
    throw Refusal(415, "More than " + std::to_string(maxRecordingFrames) + " frames: too costly to decode");
  totalPixels += pixels;
  if (totalPixels > limits.maxTotalPixels)
    throw Refusal(415, "More than " + std::to_string(limits.maxTotalPixels) +
                           " pixels in all frames together: too costly to decode");
}

bool isCompleteImage(std::string_view bytes, const ImageType& type, const PixelLimits& limits,
                     ThumbnailMaker* thumbnail, Motion* motion) {
  if (motion) *motion = {1, 0};
  if (type.extension == "gif") return isCompleteGif(bytes, limits, thumbnail, motion);
  if (type.extension == "webm") return isCompleteWebm(bytes, limits, thumbnail, motion);
  if (type.extension == "bmp") return isCompleteBmp(bytes, limits.maxPixels, thumbnail);
  if (type.extension == "jpg") return isCompleteJpeg(bytes, limits.maxPixels, thumbnail);
  if (type.extension == "png") return isCompletePng(bytes, limits.maxPixels, thumbnail);
  return false;
}

// Uncompressed rows hold no byte that could be wrong, so the headers and the length
// say it all. The image ends with its last row, computed from width, depth and
// height; the header's file-size field is not trusted, since writers fill it
// carelessly. Only a thumbnail reads the pixels.
bool isCompleteBmp(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail) {
  imaging::BmpLayout layout;
  try {
    layout =
        imaging::readBmpLayout(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  } catch (const Error&) {
    return false;
  }
  bool complete = std::uint64_t(layout.width) * std::uint64_t(layout.height) <= maxPixels &&
                  layout.pixelOffset + layout.imageSize == bytes.size();
  if (complete && thumbnail) bmpThumbnail(bytes, layout, *thumbnail);
  return complete;
}

} // namespace glimor::server
