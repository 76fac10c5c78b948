#pragma once
#include "capture/crop_output.h"
#include "platform/files.h"

namespace glimor::win32 {

// Writes the crop files through the image encoders.
class Win32CropOutput final : public capture::CropOutput {
public:
  explicit Win32CropOutput(platform::Files& files) : files_(files) {}
  void writeCropFiles(const capture::Picture& crop, int displayBitsPerPixel,
                      const capture::CropFileNames& names) override;
  bool saveCropAs(const capture::Picture& crop, int displayBitsPerPixel, const std::string& path) override;

private:
  platform::Files& files_;
};

} // namespace glimor::win32
