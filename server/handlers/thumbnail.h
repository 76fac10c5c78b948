#pragma once
#include "imaging/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace glimor::server {

// The long side of a thumbnail at most; smaller pictures keep their size.
inline constexpr int thumbnailSide = 320;
// The most bytes a JPEG may have to serve as its own thumbnail.
inline constexpr std::size_t ownThumbnailBytes = 128 * 1024;

struct PictureSize {
  int width = 0, height = 0;
};

// The size of the thumbnail of a `width` x `height` picture: at most
// thumbnailSide on the long side, the aspect kept, at least one pixel a side,
// never larger than the picture.
PictureSize thumbnailSize(int width, int height);

// Makes the thumbnail of a picture while the upload's check decodes it, from
// the pixels the decoder hands out in whatever order it has them (interlaced
// rows, the passes of an interlaced PNG). Each source pixel is spread over the
// thumbnail's pixels it covers, weighted by the area it covers (a box filter
// exact to the pixel), so the thumbnail is the mean of what it stands for.
// The decoder may hand out a reduced picture (a JPEG decoded at 1/8), which is
// then the source, while the picture's own size decides the thumbnail's.
class ThumbnailMaker {
public:
  // The picture's size, and the size of the source its pixels come from.
  void start(PictureSize picture, PictureSize source);
  bool started() const { return source_.width > 0; }
  PictureSize pictureSize() const { return picture_; }

  // A JPEG no larger than a thumbnail is its own: the upload's bytes serve as
  // it, and no pixel needs to be decoded or encoded again for it.
  void keepOwnJpeg(PictureSize picture) { picture_ = picture, ownJpeg_ = true; }
  bool ownJpeg() const { return ownJpeg_; }

  // Whether row `y` of the source goes into the thumbnail. Every row does,
  // unless the source has more than 16 rows for each of the thumbnail's: then
  // every n-th, so that each thumbnail row still averages at least eight, and
  // a huge picture's thumbnail costs no more than a 4K one's.
  bool wantsRow(int y) const { return started() && y % rowStep_ == 0; }

  // `count` pixels of source row `y`, at columns x0, x0 + dx, ...; three bytes
  // (red, green, blue) each in `rgb`. A row it does not want is left out.
  void add(int y, int x0, int dx, int count, const std::uint8_t* rgb);

  // The thumbnail as a 24-bit bitmap, and as a JPEG file (empty when start()
  // was never called).
  imaging::Bitmap picture() const;
  std::string jpeg() const;

private:
  void addRowSums(int y);

  PictureSize picture_, source_, target_;
  int rowStep_ = 1;
  bool ownJpeg_ = false;
  std::vector<std::uint64_t> rowSums_;    // one source row over the target's columns
  std::vector<std::uint64_t> cellSums_;   // the target, three sums a pixel
  std::vector<std::uint64_t> rowWeights_; // of the source rows each target row is given
};

} // namespace glimor::server
