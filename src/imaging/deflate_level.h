#pragma once
#include <cstdint>
#include <span>

namespace glimor::imaging {

// libdeflate's compression level for a block of filtered image data, chosen by
// measurement on screen and photo captures (bench/). Screen data (few distinct
// byte values, order-0 entropy about 1 bit a byte) is made of long matches, and
// the lazy matcher of level 5 makes it 11 % smaller than level 2 does; level 6
// takes about a fifth longer for 5 % less. Photo data (about 3.7 bits a byte) has few
// matches worth finding: levels 2 to 6 give the same size, and level 1 is 6 %
// larger in half the time of level 2, still within a tenth of what libpng makes
// at its defaults.
int deflateLevelFor(std::span<const std::uint8_t> data);

} // namespace glimor::imaging
