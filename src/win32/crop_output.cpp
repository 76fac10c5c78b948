#include "win32/crop_output.h"

#include "platform/error.h"

namespace glimor::win32 {

// The encoders arrive with the imaging library; until then a confirm reports
// plainly that no file was written, and the selection stays open.
void Win32CropOutput::writeCropFiles(const capture::Picture&, int, const capture::CropFileNames&) {
  throw Error("Image files cannot be written: the image encoders are missing from this build.");
}

bool Win32CropOutput::saveCropAs(const capture::Picture&, int, const std::string&) {
  throw Error("Image files cannot be written: the image encoders are missing from this build.");
}

} // namespace glimor::win32
