#pragma once
#include <cstddef>
#include <cstdint>

// PNG's row filters: each byte becomes its difference from a prediction made of
// its left neighbour a (the same byte of the pixel before), the byte above it b
// and the one above a, c, all zero outside the image. Large pictures take the
// first four by a quick estimate on 8-bit RGB rows (three bytes a pixel); Paeth
// costs the most and made neither large screens nor photos smaller. Small
// pictures, where time is no concern, try all five (png_small_image).
namespace glimor::imaging::png {

enum class Filter : std::uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4 };
inline constexpr Filter allFilters[] = {Filter::none, Filter::sub, Filter::up, Filter::average,
                                        Filter::paeth};

// The red, green, blue bytes of `width` pixels stored blue, green, red, and an
// unused byte when `bytesPerPixel` is 4: a bitmap row as the filters take it.
void toRgb(const std::uint8_t* pixels, int width, int bytesPerPixel, std::uint8_t* out);

// `length` bytes of `row` filtered against `above` into `out`; a pixel is three
// bytes (RGB) or one (palette indices, whatever their depth).
void applyFilter(Filter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                 std::uint8_t* out, std::size_t bytesPerPixel = 3);

// The filter whose output, read as signed bytes, has the least sum of magnitudes:
// small differences compress best.
Filter chooseFilter(const std::uint8_t* row, const std::uint8_t* above, std::size_t length);

// The same choice among all five over every byte: what libpng does by default.
Filter chooseFilterThoroughly(const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                              std::size_t bytesPerPixel);

// One row as the image data holds it: the filter type, then the row filtered by
// chooseFilter's pick. `out` holds length + 1 bytes.
void filterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t length, std::uint8_t* out);

} // namespace glimor::imaging::png
