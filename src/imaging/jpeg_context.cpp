#include "imaging/jpeg_context.h"

#include <cstdlib>

#include <jerror.h>

namespace glimor::imaging::jpeg {
namespace {

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

Destination& destinationOf(j_compress_ptr cinfo) {
  return *reinterpret_cast<Destination*>(cinfo->dest);
}

bool append(Destination& destination, std::size_t count) noexcept {
  if (!destination.file) return true;
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
  destination.base.free_in_buffer = Destination::bufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  Destination& destination = destinationOf(cinfo);
  // libjpeg calls this only when the buffer is full, whatever free_in_buffer says.
  if (!append(destination, Destination::bufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
  initDestination(cinfo);
  return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
  Destination& destination = destinationOf(cinfo);
  if (!append(destination, Destination::bufferSize - destination.base.free_in_buffer))
    ERREXIT(cinfo, JERR_FILE_WRITE);
}

} // namespace

void installErrorManager(jpeg_compress_struct& cinfo, ErrorManager& errors) {
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = errorExit;
  errors.base.emit_message = emitMessage;
  errors.base.output_message = outputMessage;
  errors.base.format_message = formatMessage;
  errors.base.reset_error_mgr = resetErrorManager;
}

int messageCodeOf(const ErrorManager& errors) {
  return errors.base.msg_code != 0 ? errors.base.msg_code : -1;
}

void fail(j_compress_ptr cinfo, int code) {
  cinfo->err->msg_code = code;
  (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
  std::abort(); // error_exit never returns
}

void installDestination(jpeg_compress_struct& cinfo, Destination& destination, platform::Bytes* file) {
  destination.file = file;
  destination.base.init_destination = initDestination;
  destination.base.empty_output_buffer = emptyOutputBuffer;
  destination.base.term_destination = termDestination;
  cinfo.dest = &destination.base;
}

void setParameters(jpeg_compress_struct& cinfo, int width, int height, int bitsPerPixel, int quality) {
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  // Rows are blue, green, red (and an unused fourth byte at 32 bits); libjpeg-turbo
  // reads that order directly and still encodes red as red (JFIF, YCbCr). Both
  // depths hold the same colours, so both give the same file.
  const bool padded = bitsPerPixel == 32;
  cinfo.input_components = padded ? 4 : 3;
  cinfo.in_color_space = padded ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_FLOAT; // libjpeg's default is JDCT_ISLOW
}

} // namespace glimor::imaging::jpeg
