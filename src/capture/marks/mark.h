#pragma once
#include "platform/text_glyphs.h"

#include <cstdint>
#include <vector>

namespace glimor::capture::marks {

enum class Tool { Rectangle, Arrow, Line, Highlighter, Text, Step, Redact, Pixelate };
constexpr int toolCount = 8;

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// One drawing on the capture, in picture pixels. Everything a mark needs to be drawn again (after
// an undo) is in it, the text's glyphs included, so redrawing never asks the platform.
struct Mark {
  Tool tool = Tool::Rectangle;
  std::uint32_t colour = 0; // 0x00RRGGBB
  // Rectangle, Arrow, Line, Highlighter: the stroke width; Step: the circle's diameter; Text: the
  // character cell's height (the glyphs are already made at it).
  int size = 1;
  // Rectangle, Redact, Pixelate: two opposite corners, the second exclusive like a selection's
  // right and bottom; Line and Arrow: from and to (the head at `to`); Highlighter: the path;
  // Text: the glyphs' top-left corner; Step: the circle's centre.
  std::vector<Point> points;
  platform::GlyphMask glyphs; // Text: the text; Step: the number
};

} // namespace glimor::capture::marks
