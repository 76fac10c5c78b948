#include "image_check.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace glimor::server {
namespace {

struct Source {
  std::string_view bytes;
  std::size_t at = 0;
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
void decodeAll(png_structp png, png_infop info, std::vector<png_byte>& row, std::uint64_t maxPixels) {
  png_read_info(png, info);
  if (std::uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info) > maxPixels)
    png_error(png, "too many pixels");
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  row.resize(png_get_rowbytes(png, info));
  const png_uint_32 height = png_get_image_height(png, info);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row.data(), nullptr);
  png_read_end(png, info); // the chunks after the image data, through IEND
}

} // namespace

bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels) {
  Source source{bytes};
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
    return false;
  }
  png_set_read_fn(png, &source, readBytes);
  // By default a bad CRC in an ancillary chunk only drops that chunk: here any bad
  // CRC refuses the file.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  decodeAll(png, info, row, maxPixels);
  png_destroy_read_struct(&png, &info, nullptr);
  return source.at == bytes.size();
}

} // namespace glimor::server
