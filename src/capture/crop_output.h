#pragma once
#include "capture/display_format.h"
#include "capture/picture.h"
#include "capture/selection_geometry.h"

#include <string>

namespace glimor::capture {

// Turns a crop into image files. The crop arrives in the display's format; the
// BMP file keeps that depth, the JPEG, GIF and PNG files are made from 24 bits.
class CropOutput {
public:
  virtual ~CropOutput() = default;
  // Glimor.bmp, Glimor.jpg, Glimor.gif, then Glimor.png; throws Error at the first failing file.
  virtual void writeCropFiles(const Picture& crop, const DisplayFormat& display,
                              const CropFileNames& names) = 0;
  // One file of the type that the path's extension names (.bmp, .jpg, .gif, .png in any letter case);
  // false, writing nothing, for any other extension. Throws Error when the file cannot be written.
  virtual bool saveCropAs(const Picture& crop, const DisplayFormat& display, const std::string& path) = 0;
};

} // namespace glimor::capture
