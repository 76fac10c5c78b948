#include "win32/text_glyphs.h"

#include "os/win32/wide_text.h"
#include "win32/top_down_bitmap.h"

#include <windows.h>

#include <algorithm>

namespace glimor::win32 {

namespace {

// The user interface's font at a character cell of `pixelHeight`, smoothed in grey, never in
// ClearType's colours: the mask is one coverage for all three channels.
HFONT messageFont(int pixelHeight, bool bold) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font = metrics.lfMessageFont;
  else
    ::lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
  font.lfHeight = pixelHeight; // positive: the cell's height
  font.lfWidth = 0;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfQuality = ANTIALIASED_QUALITY;
  return ::CreateFontIndirectW(&font);
}

} // namespace

platform::GlyphMask Win32TextGlyphs::render(const std::string& text, int pixelHeight, bool bold) {
  platform::GlyphMask mask;
  if (text.empty() || pixelHeight <= 0) return mask;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HFONT font = messageFont(pixelHeight, bold);
  HGDIOBJ oldFont = ::SelectObject(dc, font);
  SIZE extent{};
  const std::wstring wide = widenShown(text);
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  // Italic overhangs and the last glyph's right bearing can pass the advance a little.
  int width = std::max(1, static_cast<int>(extent.cx) + pixelHeight / 4),
      height = std::max(1, static_cast<int>(extent.cy));

  BITMAPINFO info = topDownBitmap(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::TextOutW(dc, 0, 0, wide.c_str(), static_cast<int>(wide.size()));
    ::GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    // Trim the columns the text left black on the right, so the caret follows the last glyph.
    int used = 0;
    for (int y = 0; y < height; ++y)
      for (int x = width - 1; x >= used; --x)
        if (pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF) {
          used = x + 1;
          break;
        }
    mask.width = std::max(used, static_cast<int>(extent.cx));
    mask.width = std::min(mask.width, width);
    mask.height = height;
    mask.coverage.resize(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < mask.width; ++x) {
        std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
        mask.coverage[static_cast<std::size_t>(y) * mask.width + x] =
            static_cast<std::uint8_t>(std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}));
      }
    ::SelectObject(dc, oldBitmap);
  }
  if (bitmap) ::DeleteObject(bitmap);
  ::SelectObject(dc, oldFont);
  ::DeleteObject(font);
  ::DeleteDC(dc);
  return mask;
}

} // namespace glimor::win32
