#pragma once
#include "capture/marks/coverage.h"
#include "capture/marks/damage.h"
#include "capture/marks/mark.h"
#include "capture/screen_terms.h"

#include <cstdint>

namespace glimor::capture::marks {

// The pixel writers behind render(). Each changes pixels only within `area` (the selection within
// the picture) and notes in `damage` the spans it wrote.

enum class Blend {
  Over,     // paint: the colour laid over the picture
  Multiply, // marker: white takes the colour, dark stays dark
};

void paintShape(Picture& picture, const Rect& area, const Shape& shape, std::uint32_t colour, Blend blend,
                Damage& damage);

// The mask's coverage in `colour`, its top-left pixel at `topLeft`.
void paintGlyphs(Picture& picture, const Rect& area, const platform::GlyphMask& glyphs, Point topLeft,
                 std::uint32_t colour, Damage& damage);

// Every pixel of `rect` := colour, exactly.
void fillRect(Picture& picture, const Rect& area, const Rect& rect, std::uint32_t colour, Damage& damage);

// A crisp outline whose outer edge is `rect`, `thickness` pixels wide inward.
void paintOutline(Picture& picture, const Rect& area, const Rect& rect, int thickness, std::uint32_t colour,
                  Damage& damage);

// Each block of `rect` (within the area) := its mean colour; the blocks as pixelateBlock() sizes them.
void pixelate(Picture& picture, const Rect& area, const Rect& rect, Damage& damage);

Rect intersection(const Rect& a, const Rect& b);

} // namespace glimor::capture::marks
