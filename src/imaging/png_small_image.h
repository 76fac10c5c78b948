#pragma once
#include "imaging/bitmap.h"
#include "imaging/png_palette.h"
#include "imaging/zlib_parts.h"

#include <cstddef>
#include <optional>

// The image data of a small picture, the common crop, made as small as the
// writer can: what makes a large picture fast (pieces, a filter guessed from a
// sample of each row, quick levels, palette rows unfiltered) costs little in a
// large file but was two thirds more than libpng's bytes on a dialog of 211 x 97.
// At this size time is no concern, so several ways of writing the rows are
// compressed at libdeflate's highest level and the smallest file is kept.
namespace glimor::imaging::png {

// Pictures of at most this many pixels take this road.
inline constexpr std::size_t smallPicturePixels = 640 * 480;

bool isSmallPicture(const Bitmap& bitmap);

struct SmallImageData {
  bool indexed = false; // palette indices, else 8-bit RGB
  int bitDepth = 8;
  zlib::Part data; // the filtered lines as one complete deflate stream
};

// The smallest of: RGB and, when the picture has `palette`, its indices (the
// palette's own bytes counted), each with every filter for all rows and with
// each row's own choice.
SmallImageData smallestImageData(const Bitmap& bitmap, const std::optional<Palette>& palette);

} // namespace glimor::imaging::png
