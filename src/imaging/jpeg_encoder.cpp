#include "imaging/jpeg_encoder.h"

#include <string>

namespace glimor::imaging {

EJPEG::EJPEG(int messageCode) : Error("JPEG error #" + std::to_string(messageCode)), code(messageCode) {}

void JpegEncoder::assign(std::shared_ptr<const Bitmap> bitmap) {
  source = std::move(bitmap);
  compressed.reset();
}

void JpegEncoder::compress() {
  // The old data goes first, so a failed compression never leaves a stale file behind.
  compressed.reset();
  if (!source || !source->hasPixels()) {
    compressed.emplace();
    return;
  }
  // 32-bit pixels are read in place: the same colours give the same file.
  if (source->bitsPerPixel == 24 || source->bitsPerPixel == 32)
    compressed = compressJpeg(*source, quality_);
  else
    compressed = compressJpeg(toBgr24(*source), quality_);
}

const platform::Bytes& JpegEncoder::bytes() {
  if (!compressed) compress();
  return *compressed;
}

void JpegEncoder::saveToFile(const std::string& path, platform::Files& files) {
  files.replace(path, bytes());
}

} // namespace glimor::imaging
