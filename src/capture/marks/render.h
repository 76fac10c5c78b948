#pragma once
#include "capture/marks/damage.h"
#include "capture/marks/mark.h"
#include "capture/screen_terms.h"

namespace glimor::capture::marks {

// Draws one mark into the picture, anti-aliased, changing no pixel outside `clip` (the selection),
// and notes in `damage` every pixel it may have changed. Text and the step's number come from their
// glyph masks. Redact fills its rectangle with one opaque colour; Pixelate replaces each block of its
// rectangle with the block's mean colour, read from the picture as it is.
void render(Picture& picture, const Rect& clip, const Mark& mark, Damage& damage);

// The pixelate block's side for a rectangle: at least 12 pixels and at least a third of its
// shorter side, so that no line of text inside keeps a readable shape.
int pixelateBlock(int width, int height);

// Rectangle, Redact and Pixelate: the rectangle the two corners span, normalised.
Rect spannedRect(Point a, Point b);

// The colour that reads on a filled step circle of `fill`: black on light colours, else white.
std::uint32_t contrastingColour(std::uint32_t fill);

} // namespace glimor::capture::marks
