#include "capture/imaging_crop_output.h"

#include "imaging/crop_files.h"

#include <memory>
#include <unordered_map>
#include <utility>

namespace glimor::capture {

namespace {

bool holdsPalette(const DisplayFormat& display) {
  int bits = display.bitsPerPixel;
  return (bits == 1 || bits == 2 || bits == 4 || bits == 8) && display.palette.size() == (1u << bits);
}

// The display's own index for each colour of the crop: a palette display shows only its
// palette's colours, so the match is exact; anything else takes the nearest entry.
class PaletteIndex {
public:
  explicit PaletteIndex(const std::vector<std::uint32_t>& palette) : palette_(palette) {
    for (std::size_t i = palette.size(); i-- > 0;)
      known_[palette[i] & 0xFFFFFF] = static_cast<std::uint8_t>(i);
  }
  std::uint8_t operator()(std::uint32_t colour) {
    auto [at, added] = known_.try_emplace(colour & 0xFFFFFF, 0);
    if (added) at->second = nearest(colour);
    return at->second;
  }

private:
  std::uint8_t nearest(std::uint32_t colour) const {
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      int d = 0;
      for (int shift : {0, 8, 16}) {
        int delta = channel(colour, shift) - channel(palette_[i], shift);
        d += delta * delta;
      }
      if (d < bestDistance) best = static_cast<int>(i), bestDistance = d;
    }
    return static_cast<std::uint8_t>(best);
  }
  const std::vector<std::uint32_t>& palette_;
  std::unordered_map<std::uint32_t, std::uint8_t> known_;
};

void writeIndices(const Picture& crop, imaging::Bitmap& bitmap) {
  PaletteIndex indexOf(bitmap.palette);
  const int bits = bitmap.bitsPerPixel, perByte = 8 / bits;
  const std::size_t stride = bitmap.stride();
  for (int y = 0; y < crop.height; ++y) {
    std::uint8_t* out = bitmap.pixels.data() + static_cast<std::size_t>(crop.height - 1 - y) * stride;
    const std::uint32_t* in = crop.row(y);
    // The leftmost pixel in the highest bits of its byte.
    for (int x = 0; x < crop.width; ++x)
      out[x / perByte] |= static_cast<std::uint8_t>(indexOf(in[x]) << (8 - bits * (x % perByte + 1)));
  }
}

} // namespace

imaging::Bitmap displayBitmapOf(const Picture& crop, const DisplayFormat& display) {
  imaging::Bitmap bitmap;
  bitmap.width = crop.width;
  bitmap.height = crop.height;
  int bits = display.bitsPerPixel;
  bitmap.bitsPerPixel = bits == 24 || bits == 16 || holdsPalette(display) ? bits : 32;
  std::size_t stride = bitmap.stride();
  bitmap.pixels.assign(stride * static_cast<std::size_t>(crop.height), 0);
  if (bitmap.bitsPerPixel <= 8) {
    bitmap.palette = display.palette;
    writeIndices(crop, bitmap);
    return bitmap;
  }
  for (int y = 0; y < crop.height; ++y) {
    std::uint8_t* out = bitmap.pixels.data() + static_cast<std::size_t>(crop.height - 1 - y) * stride;
    const std::uint32_t* in = crop.row(y);
    for (int x = 0; x < crop.width; ++x) {
      std::uint32_t p = in[x];
      std::uint8_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
      switch (bitmap.bitsPerPixel) {
      case 32:
        out[4 * x] = b, out[4 * x + 1] = g, out[4 * x + 2] = r, out[4 * x + 3] = 0;
        break;
      case 24:
        out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
        break;
      default: { // 16: 0RRRRRGG GGGBBBBB, little-endian
        auto word = static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        out[2 * x] = static_cast<std::uint8_t>(word), out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
      }
      }
    }
  }
  return bitmap;
}

ImagingCropOutput::~ImagingCropOutput() {
  if (later_.joinable()) later_.join();
}

void ImagingCropOutput::writeCropFiles(const Picture& crop, const DisplayFormat& display,
                                       const CropFileNames& names, const std::string& first) {
  // The last capture's files are finished before this one's replace them.
  if (later_.joinable()) later_.join();
  auto bitmap = std::make_shared<const imaging::Bitmap>(displayBitmapOf(crop, display));
  imaging::CropFileNames all{names.bmp, names.jpg, names.gif, names.png};
  if (first.empty()) return imaging::writeCropFiles(*bitmap, all, files_);
  imaging::saveCropAs(*bitmap, first, files_);
  later_ = std::thread([this, bitmap, all, first] {
    try {
      imaging::writeCropFiles(*bitmap, all, files_, first);
    } catch (const std::exception& e) {
      std::lock_guard lock(failureMutex_);
      lateFailure_ = e.what();
    }
  });
}

std::string ImagingCropOutput::takeLateFailure() {
  std::lock_guard lock(failureMutex_);
  return std::exchange(lateFailure_, {});
}

bool ImagingCropOutput::saveCropAs(const Picture& crop, const DisplayFormat& display,
                                   const std::string& path) {
  return imaging::saveCropAs(displayBitmapOf(crop, display), path, files_);
}

} // namespace glimor::capture
