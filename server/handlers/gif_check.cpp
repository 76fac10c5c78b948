#include "image_check.h"
#include "refusal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
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

// The first frame on the logical screen, as a viewer shows it before any
// other: the screen white where the frame does not reach, and where its
// pixels are transparent.
class FirstFrame {
public:
  FirstFrame(GifFileType* gif, ThumbnailMaker& thumbnail) : gif_(gif), thumbnail_(thumbnail) {
    PictureSize screen{std::max(gif->SWidth, 1), std::max(gif->SHeight, 1)};
    thumbnail.start(screen, screen);
    rgb_.assign(std::size_t(screen.width) * 3, 0xff);
  }

  void noteTransparency(int transparent) { transparent_ = transparent; }

  // The screen's rows outside the frame, once its place is known.
  void begin() {
    const GifImageDesc& frame = gif_->Image;
    std::vector<std::uint8_t> white(rgb_.size(), 0xff);
    for (int y = 0; y < gif_->SHeight; ++y)
      if (y < frame.Top || y >= frame.Top + frame.Height) thumbnail_.add(y, 0, 1, gif_->SWidth, white.data());
  }

  void row(int y, const std::vector<GifPixelType>& indices) {
    const GifImageDesc& frame = gif_->Image;
    if (!thumbnail_.wantsRow(frame.Top + y)) return;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif_->SColorMap;
    std::fill(rgb_.begin(), rgb_.end(), 0xff);
    for (int x = 0; x < frame.Width; ++x) {
      const int at = frame.Left + x;
      if (at >= gif_->SWidth || indices[x] == transparent_) continue;
      std::uint8_t* out = &rgb_[std::size_t(at) * 3];
      if (colours && indices[x] < colours->ColorCount) {
        const GifColorType& colour = colours->Colors[indices[x]];
        out[0] = colour.Red, out[1] = colour.Green, out[2] = colour.Blue;
      } else {
        out[0] = out[1] = out[2] = 0;
      }
    }
    thumbnail_.add(frame.Top + y, 0, 1, gif_->SWidth, rgb_.data());
  }

private:
  GifFileType* gif_;
  ThumbnailMaker& thumbnail_;
  int transparent_ = NO_TRANSPARENT_COLOR;
  std::vector<std::uint8_t> rgb_;
};

// A frame's graphic control tells its delay (hundredths of a second) and, for
// the first frame's thumbnail, its transparent colour.
bool skipExtension(GifFileType* gif, FirstFrame* first, std::uint64_t& delays) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  GraphicsControlBlock control{};
  if (code == GRAPHICS_EXT_FUNC_CODE && block &&
      DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
    delays += std::uint64_t(std::max(control.DelayTime, 0));
    if (first) first->noteTransparency(control.TransparentColor);
  }
  while (block)
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  return true;
}

// Interlaced frames send their rows in four passes: every eighth from 0, every
// eighth from 4, every fourth from 2, every second from 1.
int interlacedRow(int i, int height) {
  constexpr int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int rows = starts[pass] < height ? (height - starts[pass] + steps[pass] - 1) / steps[pass] : 0;
    if (i < rows) return starts[pass] + i * steps[pass];
    i -= rows;
  }
  return i;
}

struct Frames {
  Motion counted;
  std::uint64_t pixels = 0, delays = 0;
};

bool decodeFrame(GifFileType* gif, std::vector<GifPixelType>& row, const PixelLimits& limits, Frames& frames,
                 DecodeClock& clock, FirstFrame* first) {
  if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
  const int width = gif->Image.Width, height = gif->Image.Height;
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > limits.maxPixels)
    return false;
  countFrame(frames.counted, frames.pixels, std::uint64_t(width) * std::uint64_t(height), limits);
  // giflib keeps a record of every frame it has read; only the current one is needed,
  // so a file of a million tiny frames holds one.
  GifFreeSavedImages(gif);
  gif->ImageCount = 0;
  row.resize(static_cast<std::size_t>(width));
  if (first) first->begin();
  for (int y = 0; y < height; ++y) { // interlaced frames too: their rows come in another order
    if (DGifGetLine(gif, row.data(), width) == GIF_ERROR) return false;
    if (first) first->row(gif->Image.Interlace ? interlacedRow(y, height) : y, row);
    clock.checkAfterRow(row.size());
  }
  return true;
}

} // namespace

// The logical screen (what a viewer allocates) and each frame must stay within
// maxPixels, the frames together (what is decoded) within maxTotalPixels; at
// least one frame, then the trailer.
bool isCompleteGif(std::string_view bytes, const PixelLimits& limits, ThumbnailMaker* thumbnail,
                   Motion* motion) {
  Source source{bytes};
  int error = 0;
  std::unique_ptr<GifFileType, Close> gif(DGifOpen(&source, readBytes, &error));
  if (!gif || std::uint64_t(gif->SWidth) * std::uint64_t(gif->SHeight) > limits.maxPixels) return false;
  std::vector<GifPixelType> row;
  Frames frames;
  std::optional<FirstFrame> first;
  if (thumbnail) first.emplace(gif.get(), *thumbnail);
  bool anyFrame = false;
  DecodeClock clock;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return false;
    switch (record) {
    case IMAGE_DESC_RECORD_TYPE:
      if (!decodeFrame(gif.get(), row, limits, frames, clock, anyFrame || !first ? nullptr : &*first))
        return false;
      anyFrame = true;
      break;
    case EXTENSION_RECORD_TYPE:
      if (!skipExtension(gif.get(), anyFrame || !first ? nullptr : &*first, frames.delays)) return false;
      break;
    case TERMINATE_RECORD_TYPE:
      if (motion) *motion = {frames.counted.frames, frames.counted.frames > 1 ? frames.delays * 10 : 0};
      return anyFrame && source.at == bytes.size();
    default:
      return false;
    }
  }
}

} // namespace glimor::server
