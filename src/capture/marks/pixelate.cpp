#include "capture/marks/paint.h"
#include "capture/marks/render.h"

#include <algorithm>
#include <vector>

namespace glimor::capture::marks {
namespace {

// Start of block i of n spread over [from, from + length): every block is length / n rounded down
// or up, so none is a thin leftover.
int blockStart(int from, int length, int n, int i) {
  return from + static_cast<int>(static_cast<long long>(length) * i / n);
}

// Adds up the red, green and blue of a run of pixels. Red and blue are summed side by side in one
// word, 256 pixels at a time (255 x 256 still fits each half): two masks and two adds a pixel.
void addChannels(const std::uint32_t* pixel, const std::uint32_t* end, std::uint64_t sum[3]) {
  while (pixel < end) {
    const std::uint32_t* chunkEnd = pixel + std::min<std::ptrdiff_t>(end - pixel, 256);
    std::uint32_t redBlue = 0, green = 0;
    for (; pixel < chunkEnd; ++pixel) {
      redBlue += *pixel & 0x00FF00FF;
      green += *pixel & 0x0000FF00;
    }
    sum[0] += redBlue >> 16;
    sum[1] += green >> 8;
    sum[2] += redBlue & 0xFFFF;
  }
}

} // namespace

int pixelateBlock(int width, int height) {
  const int shorter = std::max(std::min(width, height), 0);
  return std::max(12, shorter / 3 + (shorter % 3 != 0));
}

void pixelate(Picture& picture, const Rect& area, const Rect& rect, Damage& damage) {
  // Blocks are laid over the part that is drawn, so a rectangle cut by the selection's edge gets
  // no sliver of a block there either.
  const Rect r = intersection(area, rect);
  if (r.width() <= 0) return;
  const int block = pixelateBlock(r.width(), r.height());
  const int columns = std::max(1, r.width() / block), rows = std::max(1, r.height() / block);
  std::vector<int> xs(static_cast<std::size_t>(columns) + 1);
  for (int bx = 0; bx <= columns; ++bx) xs[bx] = blockStart(r.left, r.width(), columns, bx);
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(columns) * 3);
  for (int by = 0; by < rows; ++by) {
    const int y0 = blockStart(r.top, r.height(), rows, by), y1 = blockStart(r.top, r.height(), rows, by + 1);
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = y0; y < y1; ++y) {
      const std::uint32_t* row = picture.row(y);
      for (int bx = 0; bx < columns; ++bx) addChannels(row + xs[bx], row + xs[bx + 1], &sums[bx * 3]);
    }
    for (int bx = 0; bx < columns; ++bx) {
      const std::uint64_t count =
          static_cast<std::uint64_t>(xs[bx + 1] - xs[bx]) * static_cast<std::uint64_t>(y1 - y0);
      auto mean = [&](int c) { return static_cast<std::uint32_t>((sums[bx * 3 + c] + count / 2) / count); };
      const std::uint32_t colour = mean(0) << 16 | mean(1) << 8 | mean(2);
      for (int y = y0; y < y1; ++y) std::fill(picture.row(y) + xs[bx], picture.row(y) + xs[bx + 1], colour);
    }
  }
  damage.addRect(r);
}

} // namespace glimor::capture::marks
