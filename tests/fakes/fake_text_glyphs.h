#pragma once
#include "platform/text_glyphs.h"

#include <algorithm>
#include <string>
#include <vector>

namespace glimor::fakes {

// Each character a solid block half the cell wide, then a one-pixel gap; bold blocks are full width.
class FakeTextGlyphs final : public platform::TextGlyphs {
public:
  platform::GlyphMask render(const std::string& text, int pixelHeight, bool bold) override {
    rendered.push_back(text);
    platform::GlyphMask mask;
    if (text.empty()) return mask;
    int block = bold ? pixelHeight : std::max(1, pixelHeight / 2);
    mask.width = static_cast<int>(text.size()) * (block + 1);
    mask.height = pixelHeight;
    mask.coverage.assign(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height), 0);
    for (int y = 0; y < mask.height; ++y)
      for (int x = 0; x < mask.width; ++x)
        if (x % (block + 1) < block) mask.coverage[static_cast<std::size_t>(y * mask.width + x)] = 255;
    return mask;
  }
  std::vector<std::string> rendered;
};

} // namespace glimor::fakes
