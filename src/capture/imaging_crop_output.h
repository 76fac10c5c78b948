#pragma once
#include "capture/crop_output.h"
#include "imaging/bitmap.h"
#include "platform/files.h"

namespace glimor::capture {

// The crop in the display's own format, as the BMP file stores it: 32, 24 or
// 16 (5-5-5) bits per pixel, rows bottom-up. A palette display gets 32 bits,
// since a screen picture has no palette of its own here.
imaging::Bitmap displayBitmapOf(const Picture& crop, int displayBitsPerPixel);

// Writes the crop files through the image encoders.
class ImagingCropOutput final : public CropOutput {
public:
  explicit ImagingCropOutput(platform::Files& files) : files_(files) {}
  void writeCropFiles(const Picture& crop, int displayBitsPerPixel, const CropFileNames& names) override;
  bool saveCropAs(const Picture& crop, int displayBitsPerPixel, const std::string& path) override;

private:
  platform::Files& files_;
};

} // namespace glimor::capture
