#pragma once
#include "imaging/bitmap.h"

#include <cstdint>
#include <vector>

namespace glimor::imaging {

// Appends the GIF image data of an 8-bit bitmap to `out`: the LZW minimum code
// size 8, the LZW codes of the pixel indices (top row first, each row left to
// right) in data sub-blocks, and the block terminator.
void encodeLzw(const Bitmap& indexed8, std::vector<std::uint8_t>& out);

} // namespace glimor::imaging
