#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace glimor::platform {

// Text as 8-bit coverage, rows top-down: 0 is untouched, 255 fully covered.
struct GlyphMask {
  int width = 0, height = 0;
  std::vector<std::uint8_t> coverage;
  bool empty() const { return width <= 0 || height <= 0; }
};

// Draws text in the system's user-interface font, for marks put on a capture.
class TextGlyphs {
public:
  virtual ~TextGlyphs() = default;
  // One line of text whose character cell is `pixelHeight` pixels high; the mask is as wide as the
  // text and as high as the cell. Empty text gives an empty mask.
  virtual GlyphMask render(const std::string& text, int pixelHeight, bool bold) = 0;
};

} // namespace glimor::platform
