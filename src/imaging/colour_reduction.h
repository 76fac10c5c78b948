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
// A 32-bit image (blue, green, red, unused) is read as the 24-bit image it holds,
// without a converted copy. Throws Error("Bitmap image is not valid") for any
// other depth or a bitmap that is not isValid().
Bitmap reduceColours(const Bitmap& image);

} // namespace glimor::imaging
