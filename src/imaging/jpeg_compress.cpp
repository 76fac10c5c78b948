// compressJpeg: the libjpeg call sequence behind JpegEncoder.
#include "imaging/jpeg_bands.h"
#include "imaging/jpeg_context.h"
#include "imaging/jpeg_encoder.h"

static_assert(JPEG_LIB_VERSION == 62, "Glimor speaks libjpeg's version 6b interface");

namespace glimor::imaging {
namespace {

// Pictures from this many pixels on are encoded in bands on several cores; below it, starting
// the threads costs more than they save.
constexpr long long bandedFromPixels = 512 * 1024;

// Returns 0 on success, otherwise libjpeg's message code (never 0 for an error).
// Only trivially destructible objects live here: longjmp skips destructors.
int runCompression(const PixelRows& image, int quality, platform::Bytes& file) {
  jpeg_compress_struct cinfo{};
  jpeg::ErrorManager errors{};
  jpeg::Destination destination{};
  jpeg::installErrorManager(cinfo, errors);
  if (setjmp(errors.escape)) {
    jpeg_destroy_compress(&cinfo);
    return jpeg::messageCodeOf(errors);
  }
  jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
  jpeg::installDestination(cinfo, destination, &file);
  jpeg::setParameters(cinfo, image.width, image.height, image.bitsPerPixel, quality);
  jpeg_start_compress(&cinfo, TRUE);

  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rowPointer =
        const_cast<JSAMPROW>(image.top + static_cast<std::ptrdiff_t>(cinfo.next_scanline) * image.stride);
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

} // namespace

PixelRows rowsOf(const Bitmap& image) {
  // Top row first: the bitmap keeps its rows bottom-up.
  const auto stride = static_cast<std::ptrdiff_t>(image.stride());
  return {image.width, image.height, image.bitsPerPixel,
          image.pixels.data() + (image.height > 0 ? (image.height - 1) * stride : 0), -stride};
}

platform::Bytes compressJpegInOnePass(const PixelRows& image, int quality) {
  if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) throw Error("Bitmap image is not valid");
  platform::Bytes file;
  if (image.width <= 0 || image.height <= 0) return file;
  file.reserve(jpeg::expectedFileSize(image));
  const int code = runCompression(image, quality, file);
  if (code != 0) throw EJPEG(code);
  return file;
}

platform::Bytes compressJpeg(const PixelRows& image, int quality) {
  const JpegBands bands = JpegBands::forThisComputer(image.width);
  if (bands.helpers == 0 || static_cast<long long>(image.width) * image.height < bandedFromPixels)
    return compressJpegInOnePass(image, quality);
  return compressJpegInBands(image, quality, bands);
}

platform::Bytes compressJpeg(const Bitmap& image, int quality) {
  if ((image.bitsPerPixel != 24 && image.bitsPerPixel != 32) || !image.isValid())
    throw Error("Bitmap image is not valid");
  return compressJpeg(rowsOf(image), quality);
}

} // namespace glimor::imaging
