#pragma once
#include "capture/screen_terms.h"
#include "capture/selection_geometry.h"

#include <string>

namespace glimor::capture {

// Turns a crop into image files. The crop arrives in the display's format; the
// BMP file keeps that depth, the JPEG, GIF and PNG files are made from 24 bits.
class CropOutput {
public:
  virtual ~CropOutput() = default;
  // Glimor.bmp, Glimor.jpg, Glimor.gif and Glimor.png of the part `area` of `picture` (a rectangle
  // within it), read in place rather than copied out first. On return the picture has been taken
  // (it is left empty), for the files still to come, and is wiped once they no longer need it;
  // on a throw it is left as it was. `first` (one of `names`, or empty) is written
  // before this returns and the others wait for writeRemainingFiles; without it all four are
  // written in that order before it returns. Throws Error when `first`, or any file written before
  // the return, cannot be written.
  virtual void writeCropFiles(Picture& picture, const Rect& area, const DisplayFormat& display,
                              const CropFileNames& names, const std::string& first) = 0;
  // Starts the files that writeCropFiles left, on a thread of their own: called once the upload
  // is under way, so that they do not hold it up. Nothing happens when none are left.
  virtual void writeRemainingFiles() = 0;
  // Why one of the files written after the return could not be written, reported once; empty
  // when all were written or are still being written.
  virtual std::string takeLateFailure() = 0;
  // One file of the type that the path's extension names (.bmp, .jpg, .gif, .png in any letter case);
  // false, writing nothing, for any other extension. Throws Error when the file cannot be written.
  virtual bool saveCropAs(const Picture& crop, const DisplayFormat& display, const std::string& path) = 0;
};

} // namespace glimor::capture
