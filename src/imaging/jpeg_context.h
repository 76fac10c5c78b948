// What every libjpeg compression of this program shares: the error manager that turns a libjpeg
// error into its message code, the destination that appends to a file in memory, and the
// parameters that make the file.
#pragma once
#include "imaging/jpeg_encoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace glimor::imaging::jpeg {

// libjpeg reports a fatal error by calling error_exit, which must not return. A C++ exception may
// not cross libjpeg's C frames, so error_exit jumps back to `escape`, set by the function that made
// the libjpeg call; that function keeps only trivially destructible objects alive across the call.
struct ErrorManager {
  jpeg_error_mgr base; // first member: libjpeg sees only this part
  std::jmp_buf escape;
};
// Fills `errors` and gives it to `cinfo`: warnings and trace messages are dropped.
void installErrorManager(jpeg_compress_struct& cinfo, ErrorManager& errors);
// The message code of the error that escaped, never 0.
int messageCodeOf(const ErrorManager& errors);
// Reports `code` through cinfo's error manager, as libjpeg itself does; never returns.
[[noreturn]] void fail(j_compress_ptr cinfo, int code);

// libjpeg fills a 4096-byte buffer; each full buffer, and the used part of the last one, is
// appended to `file`. Without a file, the bytes are dropped.
struct Destination {
  static constexpr std::size_t bufferSize = 4096;
  jpeg_destination_mgr base; // first member, as for ErrorManager
  platform::Bytes* file = nullptr;
  JOCTET buffer[bufferSize];
};
void installDestination(jpeg_compress_struct& cinfo, Destination& destination, platform::Bytes* file);

// The image's size and pixel layout, the quality with baseline tables and the floating-point
// DCT; call after jpeg_CreateCompress and before jpeg_start_compress.
void setParameters(jpeg_compress_struct& cinfo, int width, int height, int bitsPerPixel, int quality);

// The room to reserve for the file. At quality 100 a capture compresses to a quarter to a third of
// its 24-bit size, at times more; a growing buffer would copy what it holds into fresh memory, which
// costs more than the arithmetic, while reserved room that is never written costs nothing.
inline std::size_t expectedFileSize(const PixelRows& image) {
  return static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3 / 2 + 4096;
}

} // namespace glimor::imaging::jpeg
