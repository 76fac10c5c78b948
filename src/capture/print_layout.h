#pragma once
#include "capture/screen_terms.h"
#include "platform/clock.h"

#include <string>

namespace glimor::capture {

// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is 0.
int mulDiv(int a, int b, int c);

// Character-cell heights of the 12-point title and the 8-point footer at the printer's vertical dpi.
int titleFontHeight(int dpiY);
int footerFontHeight(int dpiY);

// x at which a text of this width is centred on the page.
int centeredTextLeft(int pageWidth, int textWidth);

// The image at 76 % of the page width with a 12 % left margin, five "X" heights from
// the top, keeping the crop's aspect ratio (the height is not limited to the page).
Rect printedImageRect(int pageWidth, int xHeight, int cropWidth, int cropHeight);

// "m/d/yy  h:nn" with the system's separators.
std::string footerText(const platform::LocalTime& time, char dateSeparator, char timeSeparator);

} // namespace glimor::capture
