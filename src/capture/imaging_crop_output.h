#pragma once
#include "capture/crop_output.h"
#include "imaging/bitmap.h"
#include "platform/files.h"

#include <functional>
#include <mutex>
#include <thread>

namespace glimor::capture {

// The crop in the display's own format, as the BMP file stores it: 32, 24 or
// 16 (5-5-5) bits per pixel, or indices into the display's colours at 8 bits
// or fewer; rows bottom-up. A depth the crop cannot be held in (a palette of
// the wrong size, say) gets 32 bits.
imaging::Bitmap displayBitmapOf(const Picture& picture, const Rect& area, const DisplayFormat& display);
imaging::Bitmap displayBitmapOf(const Picture& crop, const DisplayFormat& display);

// Writes the crop files through the image encoders; the files after the first on a thread of
// their own, started by writeRemainingFiles, which the next capture's files wait for (and write
// themselves first when it never started, as the end does).
class ImagingCropOutput final : public CropOutput {
public:
  explicit ImagingCropOutput(platform::Files& files) : files_(files) {}
  ~ImagingCropOutput() override; // waits for the files still being written
  ImagingCropOutput(const ImagingCropOutput&) = delete;
  ImagingCropOutput& operator=(const ImagingCropOutput&) = delete;

  void writeCropFiles(Picture& picture, const Rect& area, const DisplayFormat& display,
                      const CropFileNames& names, const std::string& first) override;
  void writeRemainingFiles() override;
  std::string takeLateFailure() override;
  bool saveCropAs(const Picture& crop, const DisplayFormat& display, const std::string& path) override;

private:
  void finishLateFiles();

  platform::Files& files_;
  std::function<void()> remaining_; // the files after the first, until they are started
  std::thread later_;               // writing them
  std::mutex failureMutex_;
  std::string lateFailure_;
};

} // namespace glimor::capture
