#include "thumbnail.h"

#include "imaging/bitmap.h"
#include "imaging/jpeg_encoder.h"

#include <algorithm>

namespace glimor::server {
namespace {

// Small enough to stay sharp, large enough to leave no blocks.
constexpr int thumbnailQuality = 85;

// Where source position `i` of `from` positions lands among `to` (to <= from):
// scaled by `to`, the source pixel covers [i * to, (i + 1) * to) and target
// cell c covers [c * from, (c + 1) * from), so a pixel overlaps at most two
// cells; `first` is the overlap with the first, `to - first` with the next.
struct Span {
  int cell;
  std::uint64_t first;
};

Span spanOf(std::uint64_t i, std::uint64_t from, std::uint64_t to) {
  std::uint64_t start = i * to;
  auto cell = static_cast<int>(start / from);
  std::uint64_t first = std::min<std::uint64_t>((cell + 1) * from, start + to) - start;
  return {cell, first};
}

} // namespace

PictureSize thumbnailSize(int width, int height) {
  int longSide = std::max(width, height);
  if (longSide <= thumbnailSide) return {width, height};
  auto scaled = [&](int side) {
    return std::max(1, static_cast<int>((std::int64_t(side) * thumbnailSide + longSide / 2) / longSide));
  };
  return {scaled(width), scaled(height)};
}

void ThumbnailMaker::start(PictureSize picture, PictureSize source) {
  picture_ = picture;
  source_ = source;
  PictureSize wanted = thumbnailSize(picture.width, picture.height);
  // A reduced source smaller than the thumbnail would be enlarged: never.
  target_ = {std::min(wanted.width, source.width), std::min(wanted.height, source.height)};
  rowStep_ = std::max(1, source.height / std::max(1, target_.height) / 8);
  rowSums_.assign(std::size_t(target_.width) * 3, 0);
  cellSums_.assign(std::size_t(target_.width) * target_.height * 3, 0);
  // The weight each thumbnail row gets from the source rows it wants; every
  // pixel of such a row is given once, in one add() or over several.
  rowWeights_.assign(std::size_t(target_.height), 0);
  const auto from = std::uint64_t(source.height), to = std::uint64_t(target_.height);
  for (int y = 0; y < source.height; y += rowStep_) {
    Span span = spanOf(std::uint64_t(y), from, to);
    rowWeights_[std::size_t(span.cell)] += span.first;
    if (span.first < to) rowWeights_[std::size_t(span.cell) + 1] += to - span.first;
  }
}

void ThumbnailMaker::add(int y, int x0, int dx, int count, const std::uint8_t* rgb) {
  if (!wantsRow(y) || y < 0 || y >= source_.height || x0 < 0 || x0 >= source_.width || dx < 1) return;
  count = static_cast<int>(std::min<std::int64_t>(count, (std::int64_t(source_.width) - x0 + dx - 1) / dx));
  if (count <= 0) return;
  std::fill(rowSums_.begin(), rowSums_.end(), 0);
  const auto from = std::uint64_t(source_.width), to = std::uint64_t(target_.width);
  // Stepping along the row keeps the cell and the offset in it, with no division a pixel.
  Span span = spanOf(std::uint64_t(x0), from, to);
  std::uint64_t offset = std::uint64_t(x0) * to - std::uint64_t(span.cell) * from;
  std::uint64_t* cell = &rowSums_[std::size_t(span.cell) * 3];
  // Pixels wholly inside the cell are summed first and weighted once; at most
  // from / to + 1 of them, so 32 bits hold their sum for any width libpng takes.
  std::uint32_t inside[3] = {0, 0, 0};
  auto closeCell = [&] {
    for (int c = 0; c < 3; ++c) cell[c] += to * inside[c], inside[c] = 0;
  };
  for (int i = 0; i < count; ++i, rgb += 3) {
    if (offset + to <= from) {
      for (int c = 0; c < 3; ++c) inside[c] += rgb[c];
      offset += to;
    } else { // across the cell's end: its share here, the rest in the next cell
      const std::uint64_t first = from - offset;
      for (int c = 0; c < 3; ++c) cell[c] += first * rgb[c], cell[3 + c] += (to - first) * rgb[c];
      closeCell();
      cell += 3;
      offset = to - first;
    }
    if (i + 1 == count) break;
    // The next pixel given starts dx - 1 pixels further on, in this cell or a later one.
    offset += std::uint64_t(dx - 1) * to;
    while (offset >= from) {
      closeCell();
      cell += 3;
      offset -= from;
    }
  }
  closeCell();
  addRowSums(y);
}

void ThumbnailMaker::addRowSums(int y) {
  const auto from = std::uint64_t(source_.height), to = std::uint64_t(target_.height);
  Span span = spanOf(std::uint64_t(y), from, to);
  const std::size_t rowLength = rowSums_.size();
  auto addInto = [&](int row, std::uint64_t weight) {
    std::uint64_t* cells = &cellSums_[std::size_t(row) * rowLength];
    for (std::size_t i = 0; i < rowLength; ++i) cells[i] += weight * rowSums_[i];
  };
  addInto(span.cell, span.first);
  if (span.first < to) addInto(span.cell + 1, to - span.first);
}

imaging::Bitmap ThumbnailMaker::picture() const {
  imaging::Bitmap picture;
  picture.width = target_.width;
  picture.height = target_.height;
  picture.bitsPerPixel = 24;
  picture.pixels.assign(picture.stride() * std::size_t(picture.height), 0);
  for (int y = 0; y < target_.height; ++y) {
    // A cell's weights add up to the source's width, scaled as above, times
    // the weights of the rows given to its row (all of them: the source's height).
    const std::uint64_t area = std::max<std::uint64_t>(1, std::uint64_t(source_.width) * rowWeights_[y]);
    // Bitmap rows are bottom-up, three bytes a pixel in blue, green, red order.
    std::uint8_t* out = &picture.pixels[std::size_t(target_.height - 1 - y) * picture.stride()];
    const std::uint64_t* sums = &cellSums_[std::size_t(y) * target_.width * 3];
    for (int x = 0; x < target_.width; ++x, out += 3, sums += 3)
      for (int c = 0; c < 3; ++c) out[2 - c] = static_cast<std::uint8_t>((sums[c] + area / 2) / area);
  }
  return picture;
}

std::string ThumbnailMaker::jpeg() const {
  if (!started()) return {};
  platform::Bytes file = imaging::compressJpeg(picture(), thumbnailQuality);
  return std::string(file.begin(), file.end());
}

} // namespace glimor::server
