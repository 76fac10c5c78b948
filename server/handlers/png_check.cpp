#include "image_check.h"
#include "refusal.h"

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

// The rows of every pass go through one buffer, which libpng fills in place.
void decodeAll(png_structp png, png_infop info, Source& source, std::vector<png_byte>& row,
               std::uint64_t maxPixels) {
  png_read_info(png, info);
  if (std::uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info) > maxPixels)
    png_error(png, "too many pixels");
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  row.resize(png_get_rowbytes(png, info));
  const png_uint_32 height = png_get_image_height(png, info);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, row.data(), nullptr);
      if (y % 64 == 0 && source.clock.overrun()) {
        source.tooLong = true;
        png_error(png, "too costly");
      }
    }
  png_read_end(png, info); // the chunks after the image data, through IEND
}

} // namespace

bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels) {
  Source source{bytes, 0, {}, false};
  std::vector<png_byte> row;
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
  decodeAll(png, info, source, row, maxPixels);
  png_destroy_read_struct(&png, &info, nullptr);
  return source.at == bytes.size();
}

} // namespace glimor::server
