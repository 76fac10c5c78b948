#include "capture/imaging_crop_output.h"

#include "imaging/crop_files.h"

namespace glimor::capture {

imaging::Bitmap displayBitmapOf(const Picture& crop, int displayBitsPerPixel) {
  imaging::Bitmap bitmap;
  bitmap.width = crop.width;
  bitmap.height = crop.height;
  bitmap.bitsPerPixel = displayBitsPerPixel == 24 || displayBitsPerPixel == 16 ? displayBitsPerPixel : 32;
  std::size_t stride = bitmap.stride();
  bitmap.pixels.assign(stride * static_cast<std::size_t>(crop.height), 0);
  for (int y = 0; y < crop.height; ++y) {
    std::uint8_t* out = bitmap.pixels.data() + static_cast<std::size_t>(crop.height - 1 - y) * stride;
    const std::uint32_t* in = crop.row(y);
    for (int x = 0; x < crop.width; ++x) {
      std::uint32_t p = in[x];
      std::uint8_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
      switch (bitmap.bitsPerPixel) {
      case 32:
        out[4 * x] = b, out[4 * x + 1] = g, out[4 * x + 2] = r, out[4 * x + 3] = 0;
        break;
      case 24:
        out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
        break;
      default: { // 16: 0RRRRRGG GGGBBBBB, little-endian
        auto word = static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        out[2 * x] = static_cast<std::uint8_t>(word), out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
      }
      }
    }
  }
  return bitmap;
}

void ImagingCropOutput::writeCropFiles(const Picture& crop, int displayBitsPerPixel,
                                       const CropFileNames& names) {
  imaging::writeCropFiles(displayBitmapOf(crop, displayBitsPerPixel), {names.bmp, names.jpg, names.gif},
                          files_);
}

bool ImagingCropOutput::saveCropAs(const Picture& crop, int displayBitsPerPixel, const std::string& path) {
  return imaging::saveCropAs(displayBitmapOf(crop, displayBitsPerPixel), path, files_);
}

} // namespace glimor::capture
