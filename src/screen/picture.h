#pragma once
#include <cstdint>
#include <vector>

namespace glimor::screen {

// A screen picture: width x height pixels, rows top-down and contiguous, each
// pixel 4 bytes blue, green, red, unused (0x00RRGGBB read as a little-endian word).
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;

  Picture() = default;
  Picture(int w, int h, std::uint32_t fill = 0xFFFFFF)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

  std::uint32_t* row(int y) {
    return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
  const std::uint32_t* row(int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
  std::uint32_t& at(int x, int y) { return row(y)[x]; }
  std::uint32_t at(int x, int y) const { return row(y)[x]; }
  bool empty() const { return width <= 0 || height <= 0; }
};

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// Selection rectangle in picture pixels; left and top inclusive, right and bottom exclusive.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

} // namespace glimor::screen
