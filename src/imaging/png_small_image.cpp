#include "imaging/png_small_image.h"

#include "imaging/png_filters.h"

#include <cstdint>
#include <vector>

namespace glimor::imaging::png {
namespace {

// The ways of writing the rows are told apart by their size at libdeflate's
// quickest level, which ranked them as the slow levels do, and the best is then
// compressed at the highest level, the slowest: a tenth smaller than level 9 on
// lines of text of 211 x 97. Beyond 128K pixels level 9 keeps a crop of 640 x 480
// within a tenth of a second (bench/): screens smaller than libpng's files, a
// photo 3 % larger.
constexpr int rankLevel = 1, highestLevel = 12, largerLevel = 9;
constexpr std::size_t highestLevelPixels = 128 * 1024;
constexpr std::size_t chunkFraming = 12; // length, type and CRC of a chunk

// A picture's rows as PNG stores them before filtering, the top row first.
struct Rows {
  std::vector<std::uint8_t> bytes;
  std::size_t length = 0;     // of a row
  std::size_t pixelBytes = 3; // what the filters take for a pixel: 1 for indices of any depth
  int count = 0;
  const std::uint8_t* row(int y) const { return bytes.data() + length * static_cast<std::size_t>(y); }
};

Rows rgbRows(const Bitmap& bitmap) {
  Rows rows{{}, static_cast<std::size_t>(bitmap.width) * 3, 3, bitmap.height};
  rows.bytes.resize(rows.length * static_cast<std::size_t>(rows.count));
  for (int y = 0; y < rows.count; ++y) {
    const std::uint8_t* pixels =
        bitmap.pixels.data() + bitmap.stride() * static_cast<std::size_t>(bitmap.height - 1 - y);
    toRgb(pixels, bitmap.width, bitmap.bitsPerPixel / 8, rows.bytes.data() + rows.length * y);
  }
  return rows;
}

Rows indexRows(const Bitmap& bitmap, const Palette& palette, int bitDepth) {
  Rows rows{{}, (static_cast<std::size_t>(bitmap.width) * bitDepth + 7) / 8, 1, bitmap.height};
  rows.bytes.resize(rows.length * static_cast<std::size_t>(rows.count));
  RowIndexer indexer(bitmap, palette);
  for (int y = 0; y < rows.count; ++y) indexer.packRow(y, bitDepth, rows.bytes.data() + rows.length * y);
  return rows;
}

// The lines (filter type, filtered row) with each row's filter chosen by `choose`.
template <typename Choose> std::vector<std::uint8_t> linesOf(const Rows& rows, Choose choose) {
  std::vector<std::uint8_t> lines((rows.length + 1) * static_cast<std::size_t>(rows.count));
  const std::vector<std::uint8_t> zeros(rows.length, 0);
  std::uint8_t* out = lines.data();
  for (int y = 0; y < rows.count; ++y, out += rows.length + 1) {
    const std::uint8_t* above = y > 0 ? rows.row(y - 1) : zeros.data();
    const Filter filter = choose(rows.row(y), above);
    out[0] = static_cast<std::uint8_t>(filter);
    applyFilter(filter, rows.row(y), above, rows.length, out + 1, rows.pixelBytes);
  }
  return lines;
}

// The lines of the rows that compress best among one filter for all of them
// (each of the five: a screen is often best with one) and each row's least sum
// of magnitudes, told apart by their size at a quick level.
struct Ranked {
  std::vector<std::uint8_t> lines;
  std::size_t size = SIZE_MAX; // compressed at the quick level
};

Ranked bestLines(const Rows& rows, zlib::Compressor& compressor) {
  Ranked best;
  const auto consider = [&](std::vector<std::uint8_t> lines) {
    const std::size_t size = compressor.compress(lines, rankLevel, true).deflate.size();
    if (size < best.size) best = {std::move(lines), size};
  };
  for (const Filter filter : allFilters)
    consider(linesOf(rows, [filter](const std::uint8_t*, const std::uint8_t*) { return filter; }));
  consider(linesOf(rows, [&rows](const std::uint8_t* row, const std::uint8_t* above) {
    return chooseFilterThoroughly(row, above, rows.length, rows.pixelBytes);
  }));
  return best;
}

} // namespace

bool isSmallPicture(const Bitmap& bitmap) {
  return static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) <=
         smallPicturePixels;
}

SmallImageData smallestImageData(const Bitmap& bitmap, const std::optional<Palette>& palette) {
  zlib::Compressor compressor;
  Ranked best = bestLines(rgbRows(bitmap), compressor);
  SmallImageData smallest{false, 8, {}};
  if (palette) {
    const int bitDepth = bitDepthFor(palette->size());
    Ranked indexed = bestLines(indexRows(bitmap, *palette, bitDepth), compressor);
    // The palette costs a chunk of three bytes a colour.
    if (indexed.size + chunkFraming + 3 * palette->size() <= best.size) {
      best = std::move(indexed);
      smallest = {true, bitDepth, {}};
    }
  }
  const std::size_t pixels = static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height);
  smallest.data =
      compressor.compress(best.lines, pixels <= highestLevelPixels ? highestLevel : largerLevel, true);
  return smallest;
}

} // namespace glimor::imaging::png
