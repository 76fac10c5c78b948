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
      for (int bx = 0; bx < columns; ++bx) {
        std::uint32_t red = 0, green = 0, blue = 0; // one block row: 255 x its width at most
        for (int x = xs[bx]; x < xs[bx + 1]; ++x) {
          red += row[x] >> 16 & 0xFF;
          green += row[x] >> 8 & 0xFF;
          blue += row[x] & 0xFF;
        }
        sums[bx * 3] += red;
        sums[bx * 3 + 1] += green;
        sums[bx * 3 + 2] += blue;
      }
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
