#pragma once
#include "capture/screen_terms.h"
#include <vector>

namespace glimor::capture {

// Adds delta to the blue, green and red byte of every pixel, clamped to 0..255,
// one contiguous row at a time.
void adjustBrightness(Picture& picture, int delta);

// Copies the rectangle of `source` to the same place in `target` (both the same size).
void copyRect(const Picture& source, Picture& target, const Rect& rect);
// The four lines drawRubberBand draws for the same corners, as rectangles: what it may change.
std::vector<Rect> rubberBandLines(int left, int top, int x, int y);

// The rectangle of `picture` as a picture of its own, the part outside the
// picture left white.
Picture cropOf(const Picture& picture, const Rect& rect);

// Overwrites every pixel with zero, in a way the compiler may not leave out, and gives the
// memory back: what the picture showed is gone from the process.
void wipe(Picture& picture);

// The dashed black-and-white rubber band from the anchor to the mouse, drawn into the picture.
void drawRubberBand(Picture& picture, int anchorX, int anchorY, int x, int y);

} // namespace glimor::capture
