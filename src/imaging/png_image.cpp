#include "imaging/png_image.h"

#include "imaging/deflate_level.h"
#include "imaging/parallel_task.h"
#include "imaging/png_chunks.h"
#include "imaging/png_filters.h"
#include "imaging/png_palette.h"
#include "imaging/png_small_image.h"
#include "imaging/zlib_parts.h"
#include "platform/error.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace glimor::imaging {
namespace {

// Pictures below this many pixels are done on one core: a thread would cost more than it saves.
constexpr std::size_t smallestSplit = 64 * 1024;
// The lines are made and compressed a piece of about this size at a time, each
// core through one buffer that stays in its caches: fresh memory for all lines at
// once cost about a third of the time in page faults, and the pieces make files
// 0.5 % larger.
constexpr std::size_t pieceBytes = 512 * 1024;

// Palette indices are a third of RGB's bytes, so level 6 costs them less than
// level 5 costs RGB, and makes them a tenth smaller (lines of text of 1920 x 1080:
// 109 KB against 124 KB; libpng 98 KB).
constexpr int indexLevel = 6;
// Filtered RGB pieces whose bytes differ from zero by this much or less on
// average are tried again, all rows filtered by Up, at smoothLevel (see
// compressPieces): smooth gradients come to 0.05 to 0.1, screens to 0.9 and more,
// photos to more than 10. Pieces compressed to less than a flatRatio-th of their
// bytes are flat areas, which have nothing more to give (a 4K screen's margins:
// an 800th; gradients: a 25th to a 60th).
constexpr double smoothMagnitude = 0.5;
constexpr int smoothLevel = 7;
constexpr std::size_t flatRatio = 200;

enum ColourType : std::uint8_t { rgb = 2, indexed = 3 };

// Rows [first, end) counted from the top.
struct Band {
  int first, end;
  int rows() const { return end - first; }
};

bool worthASecondCore(const Bitmap& bitmap) {
  return static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) >= smallestSplit &&
         bitmap.height >= 2;
}

// Runs work(upper half) here and work(lower half) on a second core, or work on the
// whole picture here when it is too small to share.
template <typename Result>
std::vector<Result> inBands(const Bitmap& bitmap, const std::function<Result(Band)>& work) {
  std::vector<Result> results;
  if (!worthASecondCore(bitmap)) {
    results.push_back(work({0, bitmap.height}));
    return results;
  }
  const int middle = bitmap.height / 2;
  ParallelTask<Result> lower([&] { return work({middle, bitmap.height}); });
  results.push_back(work({0, middle}));
  results.push_back(lower.result());
  return results;
}

// Writes the lines (filter type and row bytes each) of a band to `out`; with
// `upOnly`, every RGB row filtered by Up.
using LineWriter = std::function<void(Band, std::uint8_t* out, bool upOnly)>;

// Whether the filtered bytes are mostly zero and the others small: flat areas or
// a smooth gradient. A sample of them is taken, as for the level.
bool isSmooth(std::span<const std::uint8_t> data) {
  constexpr std::size_t step = 61; // a prime, so that no row period aligns with it
  std::size_t sum = 0, samples = 0;
  for (std::size_t i = 0; i < data.size(); i += step, ++samples)
    sum += data[i] < 128 ? data[i] : 256u - data[i];
  return static_cast<double>(sum) <= smoothMagnitude * static_cast<double>(samples);
}

// The image data as one part a piece, the pieces handed out in order to whichever
// core is free: the halves of a screen can differ by a third in the work they take.
std::vector<zlib::Part> compressPieces(const Bitmap& bitmap, const LineWriter& write, std::size_t lineBytes,
                                       int level, bool filtered) {
  const int rowsPerPiece = static_cast<int>(std::max<std::size_t>(1, pieceBytes / lineBytes));
  const int pieces = (bitmap.height + rowsPerPiece - 1) / rowsPerPiece;
  std::vector<zlib::Part> parts(static_cast<std::size_t>(pieces));
  std::atomic<int> next{0};
  const auto work = [&] {
    std::vector<std::uint8_t> lines(lineBytes *
                                    static_cast<std::size_t>(std::min(rowsPerPiece, bitmap.height)));
    zlib::Compressor compressor;
    for (int i; (i = next++) < pieces;) {
      const Band piece{i * rowsPerPiece, std::min((i + 1) * rowsPerPiece, bitmap.height)};
      const std::span<const std::uint8_t> data(lines.data(),
                                               lineBytes * static_cast<std::size_t>(piece.rows()));
      write(piece, lines.data(), false);
      const bool last = i == pieces - 1;
      zlib::Part part = compressor.compress(data,
                                            level      ? level
                                            : filtered ? deflateLevelFor(data)
                                                       : indexLevel,
                                            last);
      if (filtered && level == 0 && part.deflate.size() * flatRatio > data.size() && isSmooth(data)) {
        // A smooth gradient. Its rows are best all filtered by Up, even those
        // where Sub has the least differences: each row repeats the one above a
        // pixel further along, a match a row back that level 5 misses behind the
        // runs of zeros, and Sub's bands come again only rows later, beyond
        // deflate's reach. Such pieces compress quickly, so they can be tried
        // twice (a 1000 x 700 wash: 11 KB against 35 KB).
        write(piece, lines.data(), true);
        zlib::Part up = compressor.compress(data, smoothLevel, last);
        if (up.deflate.size() < part.deflate.size()) part = std::move(up);
      }
      parts[static_cast<std::size_t>(i)] = std::move(part);
    }
    return true;
  };
  if (pieces < 2 || !worthASecondCore(bitmap)) {
    work();
  } else {
    ParallelTask<bool> helper(work);
    work();
    helper.result();
  }
  return parts;
}

// Red, green, blue bytes of picture row y (counted from the top) of a 24- or 32-bit bitmap.
void readRgbRow(const Bitmap& bitmap, int y, std::uint8_t* out) {
  const std::uint8_t* row =
      bitmap.pixels.data() + bitmap.stride() * static_cast<std::size_t>(bitmap.height - 1 - y);
  png::toRgb(row, bitmap.width, bitmap.bitsPerPixel / 8, out);
}

LineWriter rgbLines(const Bitmap& bitmap) {
  return [&bitmap](Band band, std::uint8_t* out, bool upOnly) {
    const std::size_t length = static_cast<std::size_t>(bitmap.width) * 3;
    std::vector<std::uint8_t> above(length, 0), row(length);
    if (band.first > 0) readRgbRow(bitmap, band.first - 1, above.data());
    for (int y = band.first; y < band.end; ++y, out += length + 1) {
      readRgbRow(bitmap, y, row.data());
      if (upOnly) {
        out[0] = static_cast<std::uint8_t>(png::Filter::up);
        png::applyFilter(png::Filter::up, row.data(), above.data(), length, out + 1);
      } else {
        png::filterRow(row.data(), above.data(), length, out);
      }
      above.swap(row);
    }
  };
}

// The picture's palette, when it has at most 256 colours.
std::optional<png::Palette> paletteOf(const Bitmap& bitmap) {
  const auto bands = inBands<std::optional<png::Palette>>(
      bitmap, [&](Band band) { return png::findPalette(bitmap, band.first, band.end); });
  for (const auto& band : bands)
    if (!band) return std::nullopt;
  return bands.size() == 1 ? bands[0] : png::mergePalettes(*bands[0], *bands[1]);
}

// Palette rows are left unfiltered: their bytes are indices, not quantities.
LineWriter indexedLines(const Bitmap& bitmap, const png::Palette& palette, int bitDepth,
                        std::size_t lineBytes) {
  return [&bitmap, &palette, bitDepth, lineBytes](Band band, std::uint8_t* out, bool) {
    png::RowIndexer indexer(bitmap, palette);
    for (int y = band.first; y < band.end; ++y, out += lineBytes) {
      out[0] = static_cast<std::uint8_t>(png::Filter::none);
      indexer.packRow(y, bitDepth, out + 1);
    }
  };
}

void putHeader(platform::Bytes& out, const Bitmap& bitmap, int bitDepth, ColourType colourType) {
  platform::Bytes header;
  png::put32(header, static_cast<std::uint32_t>(bitmap.width));
  png::put32(header, static_cast<std::uint32_t>(bitmap.height));
  // Then compression method 0 (deflate), filter method 0 (the five filters), no interlace.
  header.insert(header.end(), {static_cast<std::uint8_t>(bitDepth), colourType, 0, 0, 0});
  png::putChunk(out, "IHDR", header);
}

void putPalette(platform::Bytes& out, const png::Palette& palette) {
  std::vector<std::uint8_t> entries;
  entries.reserve(palette.size() * 3);
  for (const std::uint32_t rgb : palette) { // red, green, blue
    entries.push_back(static_cast<std::uint8_t>(rgb >> 16));
    entries.push_back(static_cast<std::uint8_t>(rgb >> 8));
    entries.push_back(static_cast<std::uint8_t>(rgb));
  }
  png::putChunk(out, "PLTE", entries);
}

} // namespace

platform::Bytes encodePng(const Bitmap& bitmap, int level) {
  if (!bitmap.hasPixels() || !bitmap.isValid() || level < 0 || level > 12)
    throw Error("Bitmap image is not valid");
  if (bitmap.bitsPerPixel != 24 && bitmap.bitsPerPixel != 32) return encodePng(toBgr24(bitmap), level);

  const std::optional<png::Palette> found = paletteOf(bitmap);
  std::optional<png::Palette> palette;
  int bitDepth = 8;
  std::vector<zlib::Part> parts;
  if (level == 0 && png::isSmallPicture(bitmap)) {
    png::SmallImageData smallest = png::smallestImageData(bitmap, found);
    if (smallest.indexed) palette = found;
    bitDepth = smallest.bitDepth;
    parts.push_back(std::move(smallest.data));
  } else {
    palette = found;
    bitDepth = palette ? png::bitDepthFor(palette->size()) : 8;
    const std::size_t rowBytes = palette ? (static_cast<std::size_t>(bitmap.width) * bitDepth + 7) / 8
                                         : static_cast<std::size_t>(bitmap.width) * 3;
    const LineWriter lines =
        palette ? indexedLines(bitmap, *palette, bitDepth, rowBytes + 1) : rgbLines(bitmap);
    parts = compressPieces(bitmap, lines, rowBytes + 1, level, !palette);
  }

  platform::Bytes out;
  std::size_t compressed = 0;
  for (const auto& part : parts) compressed += part.deflate.size();
  out.reserve(compressed + 1024);
  png::putSignature(out);
  putHeader(out, bitmap, bitDepth, palette ? ColourType::indexed : ColourType::rgb);
  if (palette) putPalette(out, *palette);
  const std::size_t data = png::beginChunk(out, "IDAT");
  zlib::appendJoined(out, parts);
  png::endChunk(out, data);
  png::putChunk(out, "IEND", {});
  return out;
}

void savePng(const Bitmap& bitmap, const std::string& path, platform::Files& files) {
  files.replace(path, encodePng(bitmap));
}

} // namespace glimor::imaging
