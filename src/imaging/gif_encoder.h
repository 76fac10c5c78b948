#pragma once
#include "imaging/bitmap.h"
#include "platform/error.h"
#include "platform/files.h"

#include <memory>
#include <string>

namespace glimor::imaging {

// Saving was asked of an image that has nothing to save.
class EInvalidGraphicOperation : public Error {
public:
  using Error::Error;
};
// The bitmap given to the encoder cannot be read as an image.
class EInvalidGraphic : public Error {
public:
  using Error::Error;
};

// The GIF encoder: a GIF87a file of one image with a 256-colour global table
// (the colour reduction's palette) and LZW-compressed indices, no extensions.
class GifEncoder {
public:
  // The image becomes a copy of the bitmap (sharing its pixels); the logical
  // screen takes its size.
  void assign(std::shared_ptr<const Bitmap> bitmap);
  void assign(const Bitmap& bitmap) { assign(std::make_shared<const Bitmap>(bitmap)); }

  int width() const { return frame ? frame->width : 0; }
  int height() const { return frame ? frame->height : 0; }

  // The whole GIF file. Throws EInvalidGraphicOperation("No GIF Data to write")
  // without an image or pixels, and EInvalidGraphic("Bitmap image is not valid")
  // for a bitmap that cannot be read or is too large for GIF's 16-bit sizes.
  platform::Bytes bytes() const;
  // Writes bytes() to `path` in one atomic replacement, only once all is encoded.
  void saveToFile(const std::string& path, platform::Files& files) const;

private:
  std::shared_ptr<const Bitmap> frame;
};

// The GIF file of an 8-bit bitmap with a 256-entry palette; the core of GifEncoder::bytes.
platform::Bytes encodeGif(const Bitmap& indexed8);

} // namespace glimor::imaging
