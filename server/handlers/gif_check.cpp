#include "image_check.h"
#include "refusal.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace glimor::server {
namespace {

struct Source {
  std::string_view bytes;
  std::size_t at = 0;
};

// giflib asks for exactly the bytes it needs next, so what it has not asked for
// once the trailer is read comes after the image.
int readBytes(GifFileType* gif, GifByteType* out, int count) {
  Source& source = *static_cast<Source*>(gif->UserData);
  std::size_t length = std::min(static_cast<std::size_t>(count), source.bytes.size() - source.at);
  std::memcpy(out, source.bytes.data() + source.at, length);
  source.at += length;
  return static_cast<int>(length);
}

struct Close {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

bool skipExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  while (block)
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  return true;
}

bool decodeFrame(GifFileType* gif, std::vector<GifPixelType>& row, std::uint64_t& pixelsLeft,
                 const DecodeClock& clock) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
  const int width = gif->Image.Width, height = gif->Image.Height;
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > pixelsLeft) return false;
  pixelsLeft -= std::uint64_t(width) * std::uint64_t(height);
  // giflib keeps a record of every frame it has read; only the current one is needed,
  // so a file of a million tiny frames holds one.
  GifFreeSavedImages(gif);
  gif->ImageCount = 0;
  row.resize(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) { // interlaced frames too: their rows come in another order
    if (DGifGetLine(gif, row.data(), width) == GIF_ERROR) return false;
    if (y % 64 == 0) clock.check();
  }
  return true;
}

} // namespace

// The logical screen (what a viewer allocates) and the frames together (what is
// decoded) must each stay within maxPixels; at least one frame, then the trailer.
bool isCompleteGif(std::string_view bytes, std::uint64_t maxPixels) {
  Source source{bytes};
  int error = 0;
  std::unique_ptr<GifFileType, Close> gif(DGifOpen(&source, readBytes, &error));
  if (!gif || std::uint64_t(gif->SWidth) * std::uint64_t(gif->SHeight) > maxPixels) return false;
  std::vector<GifPixelType> row;
  std::uint64_t pixelsLeft = maxPixels;
  bool anyFrame = false;
  DecodeClock clock;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return false;
    switch (record) {
    case IMAGE_DESC_RECORD_TYPE:
      if (!decodeFrame(gif.get(), row, pixelsLeft, clock)) return false;
      anyFrame = true;
      break;
    case EXTENSION_RECORD_TYPE:
      if (!skipExtension(gif.get())) return false;
      break;
    case TERMINATE_RECORD_TYPE:
      return anyFrame && source.at == bytes.size();
    default:
      return false;
    }
  }
}

} // namespace glimor::server
