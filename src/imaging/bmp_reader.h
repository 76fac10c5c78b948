#pragma once
#include "imaging/bitmap.h"

#include <cstdint>
#include <span>

namespace glimor::imaging {

// Reads an uncompressed 24- or 32-bit BMP file (rows bottom-up or top-down) into a
// bottom-up Bitmap of the same depth. Anything else, or a file that is cut short or
// contradicts itself, throws Error with a message that says what is wrong.
// Sizes are limited to 65535 pixels a side, the most a GIF file can describe.
Bitmap decodeBmp(std::span<const std::uint8_t> file);

} // namespace glimor::imaging
