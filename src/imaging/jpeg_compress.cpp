// compressJpeg: the libjpeg call sequence behind JpegEncoder.
#include "imaging/jpeg_encoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jerror.h>
#include <jpeglib.h>

static_assert(JPEG_LIB_VERSION == 62, "Glimor speaks libjpeg's version 6b interface");

namespace glimor::imaging {
namespace {

constexpr std::size_t outputBufferSize = 4096;

// libjpeg reports a fatal error by calling error_exit, which must not return. A C++
// exception may not cross libjpeg's C frames, so error_exit jumps back to
// runCompression, which destroys the context and lets compressJpeg throw.
struct ErrorManager {
  jpeg_error_mgr base; // first member: libjpeg sees only this part
  std::jmp_buf escape;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}
// Warnings and trace messages are dropped: nothing would show them.
void emitMessage(j_common_ptr, int) {}
void outputMessage(j_common_ptr) {}
void formatMessage(j_common_ptr, char*) {}
void resetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

// libjpeg fills a 4096-byte buffer; each full buffer, and the used part of the
// last one, is appended to the file in memory.
struct Destination {
  jpeg_destination_mgr base; // first member, as for ErrorManager
  platform::Bytes* file;
  JOCTET buffer[outputBufferSize];
};

Destination& destinationOf(j_compress_ptr cinfo) {
  return *reinterpret_cast<Destination*>(cinfo->dest);
}

bool append(Destination& destination, std::size_t count) noexcept {
  try {
    destination.file->insert(destination.file->end(), destination.buffer, destination.buffer + count);
    return true;
  } catch (...) { // out of memory: libjpeg's file-write error, as a short write would be
    return false;
  }
}

void initDestination(j_compress_ptr cinfo) {
  Destination& destination = destinationOf(cinfo);
  destination.base.next_output_byte = destination.buffer;
  destination.base.free_in_buffer = outputBufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  Destination& destination = destinationOf(cinfo);
  // libjpeg calls this only when the buffer is full, whatever free_in_buffer says.
  if (!append(destination, outputBufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
  initDestination(cinfo);
  return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
  Destination& destination = destinationOf(cinfo);
  if (!append(destination, outputBufferSize - destination.base.free_in_buffer))
    ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Returns 0 on success, otherwise libjpeg's message code (never 0 for an error).
// Only trivially destructible objects live here: longjmp skips destructors.
int runCompression(const PixelRows& image, int quality, platform::Bytes& file) {
  jpeg_compress_struct cinfo{};
  ErrorManager errors{};
  Destination destination{};
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = errorExit;
  errors.base.emit_message = emitMessage;
  errors.base.output_message = outputMessage;
  errors.base.format_message = formatMessage;
  errors.base.reset_error_mgr = resetErrorManager;
  if (setjmp(errors.escape)) {
    const int code = errors.base.msg_code;
    jpeg_destroy_compress(&cinfo);
    return code != 0 ? code : -1;
  }
  jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);

  destination.file = &file;
  destination.base.init_destination = initDestination;
  destination.base.empty_output_buffer = emptyOutputBuffer;
  destination.base.term_destination = termDestination;
  cinfo.dest = &destination.base;

  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  // Rows are blue, green, red (and an unused fourth byte at 32 bits); libjpeg-turbo
  // reads that order directly and still encodes red as red (JFIF, YCbCr). Both
  // depths hold the same colours, so both give the same file.
  const bool padded = image.bitsPerPixel == 32;
  cinfo.input_components = padded ? 4 : 3;
  cinfo.in_color_space = padded ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_FLOAT; // libjpeg's default is JDCT_ISLOW
  jpeg_start_compress(&cinfo, TRUE);

  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rowPointer =
        const_cast<JSAMPROW>(image.top + static_cast<std::ptrdiff_t>(cinfo.next_scanline) * image.stride);
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

} // namespace

PixelRows rowsOf(const Bitmap& image) {
  // Top row first: the bitmap keeps its rows bottom-up.
  const auto stride = static_cast<std::ptrdiff_t>(image.stride());
  return {image.width, image.height, image.bitsPerPixel,
          image.pixels.data() + (image.height > 0 ? (image.height - 1) * stride : 0), -stride};
}

platform::Bytes compressJpeg(const PixelRows& image, int quality) {
  if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32) throw Error("Bitmap image is not valid");
  platform::Bytes file;
  if (image.width <= 0 || image.height <= 0) return file;
  // At quality 100 a capture compresses to a quarter to a third of its 24-bit size, at times
  // more. A buffer that outgrows its room copies what it holds into fresh memory, which costs
  // more than the compression's arithmetic (under Wine, 4K of screen text took 150 ms instead of
  // 90), while room that is never written costs nothing.
  file.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3 / 2 + 4096);
  const int code = runCompression(image, quality, file);
  if (code != 0) throw EJPEG(code);
  return file;
}

platform::Bytes compressJpeg(const Bitmap& image, int quality) {
  if ((image.bitsPerPixel != 24 && image.bitsPerPixel != 32) || !image.isValid())
    throw Error("Bitmap image is not valid");
  return compressJpeg(rowsOf(image), quality);
}

} // namespace glimor::imaging
