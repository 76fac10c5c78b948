#include "win32/clipboard.h"

#include <cstring>

namespace glimor::win32 {

namespace {

// Hands a block of `size` bytes, filled by `fill`, to the clipboard as its only content.
template <typename Fill> bool place(HWND owner, UINT format, std::size_t size, Fill fill) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return false;
  void* bytes = ::GlobalLock(block);
  if (!bytes) {
    ::GlobalFree(block);
    return false;
  }
  fill(static_cast<unsigned char*>(bytes));
  ::GlobalUnlock(block);
  if (!::OpenClipboard(owner)) {
    ::GlobalFree(block);
    return false;
  }
  ::EmptyClipboard();
  bool placed = ::SetClipboardData(format, block) != nullptr;
  ::CloseClipboard();
  if (!placed) ::GlobalFree(block); // the clipboard owns the block only once it took it
  return placed;
}

} // namespace

bool Win32Clipboard::setText(const std::string& text) {
  // Exactly the text and its terminating zero: some readers take the whole block.
  return place(owner_, CF_TEXT, text.size() + 1,
               [&](unsigned char* bytes) { std::memcpy(bytes, text.c_str(), text.size() + 1); });
}

// 24 bits, since a reader may take a 32-bit one's unused byte for transparency.
bool Win32Clipboard::setPicture(const capture::Picture& picture) {
  if (picture.empty()) return false;
  const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
  const std::size_t pixels = stride * static_cast<std::size_t>(picture.height);
  return place(owner_, CF_DIB, sizeof(BITMAPINFOHEADER) + pixels, [&](unsigned char* bytes) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels);
    std::memcpy(bytes, &header, sizeof header);
    unsigned char* out = bytes + sizeof header;
    for (int y = picture.height - 1; y >= 0; --y, out += stride) {
      const std::uint32_t* row = picture.row(y);
      std::memset(out, 0, stride);
      for (int x = 0; x < picture.width; ++x) {
        out[3 * x] = static_cast<unsigned char>(row[x]);
        out[3 * x + 1] = static_cast<unsigned char>(row[x] >> 8);
        out[3 * x + 2] = static_cast<unsigned char>(row[x] >> 16);
      }
    }
  });
}

namespace {

// The plain text of the clipboard, which must be open.
std::optional<std::string> openClipboardText() {
  std::optional<std::string> result;
  if (HANDLE block = ::GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(::GlobalLock(block))) {
      result = std::string(bytes, strnlen(bytes, ::GlobalSize(block)));
      ::GlobalUnlock(block);
    }
  }
  return result;
}

} // namespace

std::optional<std::string> Win32Clipboard::text() {
  if (!::OpenClipboard(owner_)) return std::nullopt;
  std::optional<std::string> result = openClipboardText();
  ::CloseClipboard();
  return result;
}

bool Win32Clipboard::clearIfText(const std::string& text) {
  // Compared and emptied while open, so no other program's copy can come in between.
  if (!::OpenClipboard(owner_)) return false;
  const bool same = openClipboardText() == text;
  const bool cleared = same && ::EmptyClipboard();
  ::CloseClipboard();
  return cleared;
}

} // namespace glimor::win32
