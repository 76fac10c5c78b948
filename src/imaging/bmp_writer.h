#pragma once
#include "imaging/bitmap.h"
#include "platform/files.h"

namespace glimor::imaging {

// The whole BMP file of `bitmap` at its own depth: 14-byte file header, 40-byte
// information header, a colour table for depths up to 8, the rows bottom-up.
// Throws Error("Bitmap image is not valid") for a bitmap that is not isValid().
platform::Bytes encodeBmp(const Bitmap& bitmap);

} // namespace glimor::imaging
