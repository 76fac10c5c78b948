#pragma once
#include "imaging/bitmap.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace glimor::imaging {

// An error reported by libjpeg: "JPEG error #<libjpeg message code>".
class EJPEG : public Error {
public:
  explicit EJPEG(int messageCode);
  int messageCode() const { return code; }

private:
  int code;
};

// The JPEG encoder: a baseline JFIF file at the chosen quality, compressed by
// libjpeg with the floating-point DCT and the standard Huffman tables.
class JpegEncoder {
public:
  int quality() const { return quality_; }
  void setQuality(int quality) { quality_ = quality; } // 1 to 100; libjpeg clamps others

  // Keeps the bitmap (sharing its pixels) as the source and drops the compressed data.
  void assign(std::shared_ptr<const Bitmap> bitmap);
  void assign(const Bitmap& bitmap) { assign(std::make_shared<const Bitmap>(bitmap)); }

  // Builds the compressed file from the source. A missing or empty source gives an
  // empty file without error. Throws EJPEG when libjpeg fails.
  void compress();
  bool hasCompressedData() const { return compressed.has_value(); }

  // The compressed file, compressing first when there is none yet.
  const platform::Bytes& bytes();
  // Writes bytes() to `path` in one atomic replacement.
  void saveToFile(const std::string& path, platform::Files& files);

private:
  int quality_ = 90;
  std::shared_ptr<const Bitmap> source;
  std::optional<platform::Bytes> compressed;
};

// Rows of 24-bit (blue, green, red) or 32-bit (blue, green, red, unused) pixels read in place,
// wherever they are kept: `top` is the top row, and each next row starts `stride` bytes on
// (negative for rows kept bottom-up).
struct PixelRows {
  int width = 0, height = 0;
  int bitsPerPixel = 32; // 24 or 32
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
};
// A 24- or 32-bit bitmap's rows.
PixelRows rowsOf(const Bitmap& image);

// The JPEG file of 24-bit rows, or of 32-bit ones read as the 24-bit image they hold; the core
// of JpegEncoder::compress.
platform::Bytes compressJpeg(const PixelRows& image, int quality);
platform::Bytes compressJpeg(const Bitmap& image, int quality);

} // namespace glimor::imaging
