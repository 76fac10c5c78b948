#include "win32/recording_icon.h"

#include "win32/top_down_bitmap.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace glimor::win32 {

HICON makeRecordingIcon() {
  const int size = ::GetSystemMetrics(SM_CXSMICON) > 0 ? ::GetSystemMetrics(SM_CXSMICON) : 16;
  BITMAPINFO info = topDownBitmap(size, size);
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP colour = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  if (!colour || !bits) return nullptr;
  // The mask is ignored where the colour bitmap has alpha, but an icon needs one.
  std::vector<std::uint8_t> maskBits(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
  HBITMAP mask = ::CreateBitmap(size, size, 1, 1, maskBits.data());
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const double centre = (size - 1) / 2.0, radius = size * 0.42;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double dx = x - centre, dy = y - centre;
      const double edge = radius - std::sqrt(dx * dx + dy * dy); // > 0 inside, softened over a pixel
      const auto alpha = static_cast<std::uint32_t>(edge >= 1 ? 255 : edge <= 0 ? 0 : edge * 255);
      // Premultiplied red: 0xD0 at full cover.
      pixels[y * size + x] = alpha << 24 | (0xD0 * alpha / 255) << 16;
    }
  ICONINFO icon{TRUE, 0, 0, mask, colour};
  HICON made = ::CreateIconIndirect(&icon);
  ::DeleteObject(mask);
  ::DeleteObject(colour);
  return made;
}

} // namespace glimor::win32
