// Any bytes given to the BMP reader: a clean refusal or a bitmap that the writer
// turns back into a file the reader reads to the same pixels.
#include "imaging/bmp_reader.h"
#include "imaging/bmp_writer.h"
#include "platform/error.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glimor::imaging;
  Bitmap bitmap;
  try {
    bitmap = decodeBmp(std::span(data, size));
  } catch (const glimor::Error&) {
    return 0;
  }
  if (!bitmap.isValid()) std::abort();
  const Bitmap again = decodeBmp(encodeBmp(bitmap));
  if (again.width != bitmap.width || again.height != bitmap.height || again.pixels != bitmap.pixels)
    std::abort();
  return 0;
}
