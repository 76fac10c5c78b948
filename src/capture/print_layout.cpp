#include "capture/print_layout.h"

#include <cstdint>
#include <cstdio>

namespace glimor::capture {

int mulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(a) * b;
  bool negative = (product < 0) != (c < 0);
  std::int64_t n = product < 0 ? -product : product;
  std::int64_t d = c < 0 ? -static_cast<std::int64_t>(c) : c;
  std::int64_t q = (n + d / 2) / d;
  return static_cast<int>(negative ? -q : q);
}

int titleFontHeight(int dpiY) {
  return mulDiv(dpiY, 12, 72);
}
int footerFontHeight(int dpiY) {
  return mulDiv(dpiY, 8, 72);
}

int centeredTextLeft(int pageWidth, int textWidth) {
  return (pageWidth - textWidth) / 2;
}

Rect printedImageRect(int pageWidth, int xHeight, int cropWidth, int cropHeight) {
  int left = mulDiv(pageWidth, 12, 100);
  int width = mulDiv(pageWidth, 76, 100);
  int top = 5 * xHeight;
  // A 32-bit product with a truncating division, so a thin strip may print 0 high.
  int height = cropWidth != 0 ? cropHeight * width / cropWidth : 0;
  return Rect{left, top, left + width, top + height};
}

std::string footerText(const platform::LocalTime& t, char dateSeparator, char timeSeparator) {
  char text[64];
  std::snprintf(text, sizeof text, "%d%c%d%c%02d  %d%c%02d", t.month, dateSeparator, t.day, dateSeparator,
                ((t.year % 100) + 100) % 100, t.hour, timeSeparator, t.minute);
  return text;
}

} // namespace glimor::capture
