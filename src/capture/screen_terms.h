#pragma once
// The capture works in the screen's own terms.
#include "screen/display_format.h"
#include "screen/picture.h"
#include "screen/screen_layout.h"
#include "screen/window_list.h"

namespace glimor::capture {

using screen::DisplayFormat;
using screen::Monitor;
using screen::Picture;
using screen::Point;
using screen::Rect;
using screen::ScreenLayout;
using screen::WindowBox;

using screen::blackOutUncovered;
using screen::layoutFor;
using screen::monitorAt;
using screen::virtualScreenOf;
using screen::windowChainAt;
using screen::windowsInPicture;

} // namespace glimor::capture
