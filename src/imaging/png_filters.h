#pragma once
#include <cstddef>
#include <cstdint>

// PNG's row filters for 8-bit RGB rows (three bytes a pixel): each byte becomes
// its difference from a prediction made of its left neighbour a and the byte
// above it b, both zero outside the image. Paeth, the fifth, is not used: it
// costs the most and made neither screens nor photos smaller here.
namespace glimor::imaging::png {

enum class Filter : std::uint8_t { none = 0, sub = 1, up = 2, average = 3 };

// The red, green, blue bytes of `width` pixels stored blue, green, red, and an
// unused byte when `bytesPerPixel` is 4: a bitmap row as the filters take it.
void toRgb(const std::uint8_t* pixels, int width, int bytesPerPixel, std::uint8_t* out);

// `length` bytes of `row` filtered against `above` into `out`.
void applyFilter(Filter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                 std::uint8_t* out);

// The filter whose output, read as signed bytes, has the least sum of magnitudes:
// small differences compress best.
Filter chooseFilter(const std::uint8_t* row, const std::uint8_t* above, std::size_t length);

// One row as the image data holds it: the filter type, then the row filtered by
// chooseFilter's pick. `out` holds length + 1 bytes.
void filterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t length, std::uint8_t* out);

} // namespace glimor::imaging::png
