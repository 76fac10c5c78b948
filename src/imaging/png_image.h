#pragma once
#include "imaging/bitmap.h"
#include "platform/files.h"

#include <string>

namespace glimor::imaging {

// The PNG file of a bitmap, lossless: palette colour (type 3) at the least bit
// depth that holds its colours when it has at most 256, 8-bit RGB (type 2)
// otherwise; the chunks IHDR, PLTE for a palette, one IDAT and IEND. 24- and
// 32-bit pixels are read in place; other depths through their 24-bit form.
// `level` (1 to 12) sets libdeflate's compression level for the whole picture;
// 0 lets the writer choose: for a small picture (png_small_image) the smallest
// of several ways of writing it, else a level for each piece of image data
// (deflateLevelFor).
// Throws Error("Bitmap image is not valid") for a bitmap without pixels or one
// that is not isValid().
platform::Bytes encodePng(const Bitmap& bitmap, int level = 0);

// Writes encodePng(bitmap) to `path` in one atomic replacement.
void savePng(const Bitmap& bitmap, const std::string& path, platform::Files& files);

} // namespace glimor::imaging
