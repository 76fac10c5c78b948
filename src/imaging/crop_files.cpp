#include "imaging/crop_files.h"

#include "imaging/bmp_writer.h"
#include "imaging/gif_encoder.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/parallel_task.h"
#include "imaging/png_image.h"
#include "platform/ascii_case.h"
#include "platform/paths.h"

#include <algorithm>
#include <memory>

namespace glimor::imaging {
namespace {

constexpr int jpegQuality = 100;

void writeJpeg(std::shared_ptr<const Bitmap> image, const std::string& path, platform::Files& files) {
  JpegEncoder jpeg;
  jpeg.setQuality(jpegQuality);
  jpeg.assign(std::move(image));
  jpeg.compress();
  jpeg.saveToFile(path, files);
}

void writeGif(std::shared_ptr<const Bitmap> image, const std::string& path, platform::Files& files) {
  GifEncoder gif;
  gif.assign(std::move(image));
  gif.saveToFile(path, files);
}

// The 24-bit form of the crop as the encoders see it. A 24- or 32-bit crop is lent,
// not converted: both encoders read the blue, green, red bytes of 32-bit pixels in
// place, which gives the same files as a converted copy without its memory and
// time. The encoders that share it live only within the calling action.
std::shared_ptr<const Bitmap> encoderInputOf(const Bitmap& crop) {
  if ((crop.bitsPerPixel == 24 || crop.bitsPerPixel == 32) && crop.isValid())
    return std::shared_ptr<const Bitmap>(std::shared_ptr<void>(), &crop);
  return std::make_shared<const Bitmap>(toBgr24(crop));
}

} // namespace

void writeCropFiles(const Bitmap& crop, const CropFileNames& names, platform::Files& files,
                    const std::string& written) {
  auto wanted = [&written](const std::string& name) { return !name.empty() && name != written; };
  if (wanted(names.bmp)) files.replace(names.bmp, encodeBmp(crop));
  const auto image = encoderInputOf(crop);
  // The GIF is encoded on a second core while the JPEG is. The JPEG ends well
  // before the GIF, and the PNG (whose pieces go to whichever core is free) fills
  // that gap; started with the other two, it kept four threads on two cores and
  // took a tenth more CPU time. The files are still written in their order, and
  // a failure of one step leaves the later files as they were, whatever became
  // of their encoding.
  ParallelTask<platform::Bytes> gif([&image, want = wanted(names.gif)] {
    if (!want) return platform::Bytes();
    GifEncoder encoder;
    encoder.assign(image);
    return encoder.bytes();
  });
  if (wanted(names.jpg)) writeJpeg(image, names.jpg, files);
  const platform::Bytes png = wanted(names.png) ? encodePng(crop) : platform::Bytes();
  platform::Bytes gifBytes = gif.result();
  if (wanted(names.gif)) files.replace(names.gif, gifBytes);
  if (wanted(names.png)) files.replace(names.png, png);
}

void saveJpegAs(const PixelRows& crop, const std::string& path, platform::Files& files) {
  files.replace(path, compressJpeg(crop, jpegQuality));
}

bool saveCropAs(const Bitmap& crop, const std::string& path, platform::Files& files) {
  const std::string extension = ascii::lowered(paths::extensionOf(path));
  if (extension == ".bmp")
    files.replace(path, encodeBmp(crop));
  else if (extension == ".jpg")
    writeJpeg(encoderInputOf(crop), path, files);
  else if (extension == ".gif")
    writeGif(encoderInputOf(crop), path, files);
  else if (extension == ".png")
    savePng(crop, path, files);
  else
    return false;
  return true;
}

} // namespace glimor::imaging
