#include "image_check.h"
#include "refusal.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace glimor::server {
namespace {

// Ancillary chunks are kept by libpng until the end; text ones may hold 8 MB
// each once inflated, so they are skipped (their checksums are still checked).
constexpr png_byte skippedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0";
// The most any other chunk may take in memory (an ICC profile once inflated),
// and how many ancillary chunks are kept at most.
constexpr png_alloc_size_t chunkMemory = 1 << 20;
constexpr png_uint_32 keptChunks = 32;

struct Source {
  std::string_view bytes;
  std::size_t at = 0;
  DecodeClock clock;
  bool tooLong = false;
};

void readBytes(png_structp png, png_bytep out, std::size_t count) {
  Source& source = *static_cast<Source*>(png_get_io_ptr(png));
  if (count > source.bytes.size() - source.at) png_error(png, "cut short");
  std::memcpy(out, source.bytes.data() + source.at, count);
  source.at += count;
}

[[noreturn]] void stop(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void quiet(png_structp, png_const_charp) {}

// Asks libpng for 8-bit grey or red, green, blue, with alpha where the image
// has any transparency, whatever the image's own form. Grey stays one channel
// here: widened to three only for the rows the thumbnail wants.
void askFor8Bits(png_structp png) {
  png_set_expand(png);
  png_set_strip_16(png);
}

// The pixels of pass `pass` in row `y` (1 to 4 channels: grey, grey and alpha,
// RGB, RGBA), alpha laid over white, to the thumbnail.
void addPassPixels(ThumbnailMaker& thumbnail, const std::vector<png_byte>& row, int channels,
                   png_uint_32 width, png_uint_32 y, int pass, bool interlaced,
                   std::vector<std::uint8_t>& rgb) {
  png_uint_32 x0 = 0, dx = 1;
  if (interlaced) {
    if (!PNG_ROW_IN_INTERLACE_PASS(y, pass)) return;
    x0 = PNG_PASS_START_COL(pass);
    dx = png_uint_32(1) << PNG_PASS_COL_SHIFT(pass);
  }
  if (x0 >= width || !thumbnail.wantsRow(int(y))) return;
  if (channels == 3 && dx == 1) return thumbnail.add(int(y), 0, 1, int(width), row.data()); // as it is
  const bool grey = channels < 3, alpha = channels % 2 == 0;
  int count = 0;
  for (png_uint_32 x = x0; x < width; x += dx, ++count) {
    const png_byte* in = &row[std::size_t(x) * channels];
    std::uint8_t* out = &rgb[std::size_t(count) * 3];
    for (int c = 0; c < 3; ++c) out[c] = in[grey ? 0 : c];
    if (!alpha) continue;
    const unsigned opacity = in[channels - 1];
    for (int c = 0; c < 3; ++c) out[c] = std::uint8_t((out[c] * opacity + 255 * (255 - opacity) + 127) / 255);
  }
  thumbnail.add(int(y), int(x0), int(dx), count, rgb.data());
}

// The rows of every pass go through one buffer, which libpng fills in place
// with the pixels of that pass.
void decodeAll(png_structp png, png_infop info, Source& source, std::vector<png_byte>& row,
               std::uint64_t maxPixels, ThumbnailMaker* thumbnail, std::vector<std::uint8_t>& rgb) {
  png_read_info(png, info);
  if (std::uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info) > maxPixels)
    png_error(png, "too many pixels");
  const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  const int passes = png_set_interlace_handling(png);
  // The work of a row: the bytes inflated, or those written once transformed.
  const std::size_t inflated = png_get_rowbytes(png, info);
  if (thumbnail) askFor8Bits(png);
  png_read_update_info(png, info);
  row.resize(png_get_rowbytes(png, info));
  const std::size_t rowWork = std::max(inflated, row.size());
  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  if (thumbnail) {
    const PictureSize size{int(width), int(height)};
    thumbnail->start(size, size);
    rgb.resize(std::size_t(width) * 3);
  }
  const int channels = png_get_channels(png, info);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, row.data(), nullptr);
      if (thumbnail) addPassPixels(*thumbnail, row, channels, width, y, pass, interlaced, rgb);
      if (source.clock.overrunAfterRow(rowWork)) {
        source.tooLong = true;
        png_error(png, "too costly");
      }
    }
  png_read_end(png, info); // the chunks after the image data, through IEND
}

} // namespace

bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail) {
  Source source{bytes, 0, {}, false};
  // Outside the part that libpng may leave with a long jump.
  std::vector<png_byte> row;
  std::vector<std::uint8_t> rgb;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stop, quiet);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (source.tooLong) throw tooCostly();
    return false;
  }
  png_set_read_fn(png, &source, readBytes);
  // By default a bad CRC in an ancillary chunk only drops that chunk: here any bad
  // CRC refuses the file.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, skippedChunks, 4);
  png_set_chunk_malloc_max(png, chunkMemory);
  png_set_chunk_cache_max(png, keptChunks);
  decodeAll(png, info, source, row, maxPixels, thumbnail, rgb);
  png_destroy_read_struct(&png, &info, nullptr);
  return source.at == bytes.size();
}

} // namespace glimor::server
