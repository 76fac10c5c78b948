#pragma once
#include "capture/picture.h"

namespace glimor::capture {

enum class Arrow { Left, Right, Up, Down };

// Where an arrow key moves the pointer, so a rectangle can be set to the pixel by keyboard: one
// pixel, ten with Shift, never off the picture (`width` x `height`).
Point nudged(Point from, Arrow arrow, bool shift, int width, int height);

} // namespace glimor::capture
