#include "image_check.h"
#include "refusal.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <vector>

#include <jpeglib.h>

namespace glimor::server {
namespace {

// The most memory libjpeg may take for one image. A baseline JPEG needs a few rows
// of blocks; a progressive one keeps every coefficient until its last scan, about
// 3 bytes a pixel with the usual half-resolution colour and 6 with full: this lets
// through progressive images of 10 to 20 million pixels.
constexpr long decoderMemory = 64L << 20;

// Why the decode stopped early, beyond the data being bad.
enum class Cost { fine, tooManyScans, tooLong };

struct Failure {
  jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to this
  std::jmp_buf jump;
  Cost cost = Cost::fine;
};

// Watches a decode between rows of blocks: a scan beyond maxJpegScans, or the
// processor time beyond maxDecodeTime, stops it.
struct Watch {
  jpeg_progress_mgr manager; // first, for the same reason
  DecodeClock clock;
};

[[noreturn]] void stop(j_common_ptr info) {
  std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
}

// libjpeg only warns about corrupt data (a premature end, bytes between markers),
// then decodes what it can: here a warning refuses the image.
void onMessage(j_common_ptr info, int level) {
  if (level < 0) stop(info);
}

void quiet(j_common_ptr) {}

void watch(j_common_ptr common) {
  auto* info = reinterpret_cast<j_decompress_ptr>(common);
  auto* failure = reinterpret_cast<Failure*>(common->err);
  if (info->input_scan_number > maxJpegScans)
    failure->cost = Cost::tooManyScans;
  else if (reinterpret_cast<Watch*>(common->progress)->clock.overrun())
    failure->cost = Cost::tooLong;
  else
    return;
  stop(common);
}

// The smallest scale (n/8) at which the long side still gives the thumbnail
// its size; a large picture takes 1/8, where only the DC coefficient of each
// block goes into the inverse DCT.
unsigned thumbnailScale(const jpeg_decompress_struct& info) {
  const std::uint64_t longSide = std::max(info.image_width, info.image_height);
  const std::uint64_t wanted = std::min<std::uint64_t>(longSide, thumbnailSide);
  unsigned scale = 1;
  while (scale < 8 && (longSide * scale + 7) / 8 < wanted) ++scale;
  return scale;
}

// Four-colour JPEGs as Adobe writes them (inverted, as almost all are) to
// red, green, blue.
void cmykToRgb(std::vector<JSAMPLE>& row, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x) {
    const JSAMPLE* in = &row[std::size_t(x) * 4];
    const unsigned k = in[3];
    JSAMPLE* out = &row[std::size_t(x) * 3];
    const JSAMPLE r = JSAMPLE(in[0] * k / 255), g = JSAMPLE(in[1] * k / 255), b = JSAMPLE(in[2] * k / 255);
    out[0] = r, out[1] = g, out[2] = b;
  }
}

// Reads every scan of every row, so that each Huffman code is decoded. Without
// a thumbnail the output is scaled to 1/8, which takes only the DC coefficient
// of each block into the inverse DCT: the picture itself is not needed, only
// the proof that all of it decodes. With one, the rows it needs come out as
// red, green, blue.
bool decodeAll(jpeg_decompress_struct& info, std::vector<JSAMPLE>& row, std::uint64_t maxPixels,
               ThumbnailMaker* thumbnail, std::size_t fileBytes) {
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false; // tables without an image
  if (std::uint64_t(info.image_width) * info.image_height > maxPixels) return false;
  // Only a file of a thumbnail's weight: one padded with metadata would be stored twice.
  if (thumbnail && std::max(info.image_width, info.image_height) <= JDIMENSION(thumbnailSide) &&
      fileBytes <= ownThumbnailBytes) {
    thumbnail->keepOwnJpeg({int(info.image_width), int(info.image_height)});
    thumbnail = nullptr;
  }
  info.scale_num = thumbnail ? thumbnailScale(info) : 1;
  info.scale_denom = 8;
  info.dct_method = JDCT_IFAST;
  info.do_fancy_upsampling = FALSE;
  info.buffered_image = FALSE;
  const bool fourColours = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  if (thumbnail) info.out_color_space = fourColours ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&info);
  row.resize(std::size_t(info.output_width) * info.output_components);
  if (thumbnail)
    thumbnail->start({int(info.image_width), int(info.image_height)},
                     {int(info.output_width), int(info.output_height)});
  JSAMPROW rows[1] = {row.data()};
  while (info.output_scanline < info.output_height) {
    const int y = int(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    if (!thumbnail || !thumbnail->wantsRow(y)) continue;
    if (fourColours) cmykToRgb(row, info.output_width);
    thumbnail->add(y, 0, 1, int(info.output_width), row.data());
  }
  jpeg_finish_decompress(&info); // reads on to the end-of-image marker
  return info.src->bytes_in_buffer == 0;
}

} // namespace

bool isCompleteJpeg(std::string_view bytes, std::uint64_t maxPixels, ThumbnailMaker* thumbnail) {
  jpeg_decompress_struct info{};
  Failure failure{};
  Watch progress{};
  std::vector<JSAMPLE> row;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = stop;
  failure.manager.emit_message = onMessage;
  failure.manager.output_message = quiet;
  progress.manager.progress_monitor = watch;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    if (failure.cost == Cost::tooManyScans) throw tooManyScans();
    if (failure.cost == Cost::tooLong) throw tooCostly();
    return false;
  }
  jpeg_create_decompress(&info);
  info.progress = &progress.manager;
  info.mem->max_memory_to_use = decoderMemory;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  bool complete = decodeAll(info, row, maxPixels, thumbnail, bytes.size());
  jpeg_destroy_decompress(&info);
  return complete;
}

} // namespace glimor::server
