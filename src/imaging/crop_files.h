#pragma once
#include "imaging/bitmap.h"
#include "imaging/jpeg_encoder.h"
#include "platform/files.h"

#include <string>

namespace glimor::imaging {

// The full paths of the four files a confirmed capture writes; an empty `png`
// writes no PNG.
struct CropFileNames {
  std::string bmp, jpg, gif, png;
};

// The confirm action's files: the BMP at the crop's own depth, then the JPEG
// (quality 100), the GIF and the PNG of its 24-bit form, in that order, leaving out
// `written`, a file of `names` that is there already. The first failure throws; files
// of earlier steps stay written, later ones keep their old contents.
void writeCropFiles(const Bitmap& crop, const CropFileNames& names, platform::Files& files,
                    const std::string& written = {});

// The save-as action's file: the format the lower-cased extension of `path` selects
// (.bmp, .jpg, .gif or .png). Returns false, writing nothing, for any other extension;
// throws when writing fails.
bool saveCropAs(const Bitmap& crop, const std::string& path, platform::Files& files);

// The JPEG file that saveCropAs writes, of rows read where they are kept rather than of a bitmap
// made for it; the same file for the same colours. Throws when writing fails.
void saveJpegAs(const PixelRows& crop, const std::string& path, platform::Files& files);

} // namespace glimor::imaging
