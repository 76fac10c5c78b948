#include "capture/imaging_crop_output.h"

#include "capture/picture_ops.h"
#include "imaging/colour_distance.h"
#include "imaging/crop_files.h"

#include <cstring>
#include <memory>
#include <system_error>
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
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const int d = imaging::squaredDistance(colour, palette_[i]);
      if (d < bestDistance) best = static_cast<int>(i), bestDistance = d;
    }
    return static_cast<std::uint8_t>(best);
  }
  const std::vector<std::uint32_t>& palette_;
  std::unordered_map<std::uint32_t, std::uint8_t> known_;
};

// The rows of the part `area` of `picture`, top row first.
struct PartRows {
  const Picture& picture;
  const Rect& area;
  const std::uint32_t* operator()(int y) const { return picture.row(area.top + y) + area.left; }
};

void writeIndices(PartRows rowOf, imaging::Bitmap& bitmap) {
  PaletteIndex indexOf(bitmap.palette);
  const int bits = bitmap.bitsPerPixel, perByte = 8 / bits;
  const std::size_t stride = bitmap.stride();
  for (int y = 0; y < bitmap.height; ++y) {
    std::uint8_t* out = bitmap.pixels.data() + static_cast<std::size_t>(bitmap.height - 1 - y) * stride;
    const std::uint32_t* in = rowOf(y);
    // The leftmost pixel in the highest bits of its byte.
    for (int x = 0; x < bitmap.width; ++x)
      out[x / perByte] |= static_cast<std::uint8_t>(indexOf(in[x]) << (8 - bits * (x % perByte + 1)));
  }
}

void writeRow(const std::uint32_t* in, int width, int bitsPerPixel, std::uint8_t* out) {
  if (bitsPerPixel == 32) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = in[x] & 0xFFFFFFu;
      std::memcpy(out + 4 * x, &p, 4);
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    std::uint32_t p = in[x];
    std::uint8_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
    if (bitsPerPixel == 24) {
      out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
    } else { // 16: 0RRRRRGG GGGBBBBB, little-endian
      auto word = static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
      out[2 * x] = static_cast<std::uint8_t>(word), out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
    }
  }
}

bool within(const Rect& area, const Picture& picture) {
  return area.left >= 0 && area.top >= 0 && area.right <= picture.width && area.bottom <= picture.height &&
         area.width() >= 0 && area.height() >= 0;
}

int bitmapDepthOf(const DisplayFormat& display) {
  int bits = display.bitsPerPixel;
  return bits == 24 || bits == 16 || holdsPalette(display) ? bits : 32;
}

} // namespace

imaging::Bitmap displayBitmapOf(const Picture& picture, const Rect& area, const DisplayFormat& display) {
  // A part that reaches beyond the picture is white there, as its crop is.
  if (!within(area, picture)) return displayBitmapOf(cropOf(picture, area), display);
  imaging::Bitmap bitmap;
  bitmap.width = area.width();
  bitmap.height = area.height();
  bitmap.bitsPerPixel = bitmapDepthOf(display);
  std::size_t stride = bitmap.stride();
  bitmap.pixels.assign(stride * static_cast<std::size_t>(bitmap.height), 0);
  const PartRows rowOf{picture, area};
  if (bitmap.bitsPerPixel <= 8) {
    bitmap.palette = display.palette;
    writeIndices(rowOf, bitmap);
    return bitmap;
  }
  for (int y = 0; y < bitmap.height; ++y)
    writeRow(rowOf(y), bitmap.width, bitmap.bitsPerPixel,
             bitmap.pixels.data() + static_cast<std::size_t>(bitmap.height - 1 - y) * stride);
  return bitmap;
}

imaging::Bitmap displayBitmapOf(const Picture& crop, const DisplayFormat& display) {
  return displayBitmapOf(crop, {0, 0, crop.width, crop.height}, display);
}

ImagingCropOutput::~ImagingCropOutput() {
  finishLateFiles();
}

// Late files running are waited for; those never started are written here, on no thread of their own.
void ImagingCropOutput::finishLateFiles() {
  if (later_.joinable()) later_.join();
  if (auto job = std::exchange(remaining_, {})) job();
}

void ImagingCropOutput::writeCropFiles(Picture& picture, const Rect& area, const DisplayFormat& display,
                                       const CropFileNames& names, const std::string& first) {
  // The last capture's files are finished before this one's replace them.
  finishLateFiles();
  imaging::CropFileNames all{names.bmp, names.jpg, names.gif, names.png};
  if (first.empty()) {
    imaging::writeCropFiles(displayBitmapOf(picture, area, display), all, files_);
    wipe(picture);
    return;
  }
  // The upload's JPEG is read straight from the picture where its colours are the bitmap's: no
  // bitmap stands between the confirm and the upload.
  std::shared_ptr<const imaging::Bitmap> bitmap;
  const int depth = bitmapDepthOf(display);
  if (first == names.jpg && (depth == 24 || depth == 32) && within(area, picture)) {
    imaging::saveJpegAs({area.width(), area.height(), 32,
                         reinterpret_cast<const std::uint8_t*>(picture.row(area.top) + area.left),
                         static_cast<std::ptrdiff_t>(picture.width) * 4},
                        first, files_);
  } else {
    bitmap = std::make_shared<const imaging::Bitmap>(displayBitmapOf(picture, area, display));
    imaging::saveCropAs(*bitmap, first, files_);
  }
  auto kept = std::make_shared<Picture>(std::exchange(picture, Picture{}));
  remaining_ = [this, kept, bitmap, area, display, all, first] {
    try {
      auto made =
          bitmap ? bitmap : std::make_shared<const imaging::Bitmap>(displayBitmapOf(*kept, area, display));
      wipe(*kept);
      imaging::writeCropFiles(*made, all, files_, first);
    } catch (const std::exception& e) {
      wipe(*kept);
      std::lock_guard lock(failureMutex_);
      lateFailure_ = e.what();
    }
  };
}

void ImagingCropOutput::writeRemainingFiles() {
  if (!remaining_) return;
  auto job = std::exchange(remaining_, {});
  try {
    later_ = std::thread(job); // a copy: the job is still here when no thread starts
  } catch (const std::system_error&) {
    job(); // no thread to be had: written here, late all the same
  }
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
