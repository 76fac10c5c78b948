#pragma once
#include "imaging/bitmap.h"
#include "platform/error.h"
#include "platform/files.h"

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
class TJPEGImage {
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

// The JPEG file of a 24-bit (blue, green, red) bitmap, or of a 32-bit one read as
// the 24-bit image it holds; the core of TJPEGImage::compress.
platform::Bytes compressJpeg(const Bitmap& image, int quality);

} // namespace glimor::imaging
