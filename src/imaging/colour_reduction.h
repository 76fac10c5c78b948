#pragma once
#include "imaging/bitmap.h"

namespace glimor::imaging {

// Reduces a 24-bit image to 256 palette colours by frequency, without dithering:
// the 256 most frequent colours (ties: the first met, scanning rows bottom-up and
// left to right) become the palette, every other colour takes its nearest palette
// colour (ties: the lowest index), unused entries are medium grey. When the image
// has more than 2049 distinct colours, one low bit of blue, red, green, blue, ...
// is cleared at a time until it has at most 2049.
// Returns an 8-bit bitmap of the same size with a 256-entry palette.
// Throws Error("Bitmap image is not valid") unless `bgr24` is a valid 24-bit bitmap.
Bitmap reduceColours(const Bitmap& bgr24);

} // namespace glimor::imaging
