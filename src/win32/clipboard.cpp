#include "win32/clipboard.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"

#include <cstring>
#include <functional>
#include <vector>

namespace glimor::win32 {

namespace {
// The picture's rows bottom-up, blue, green, red, each padded to `stride` bytes.
void writeRows(const screen::Picture& picture, std::size_t stride, unsigned char* out) {
  for (int y = picture.height - 1; y >= 0; --y, out += stride) {
    const std::uint32_t* row = picture.row(y);
    std::memset(out, 0, stride);
    for (int x = 0; x < picture.width; ++x) {
      out[3 * x] = static_cast<unsigned char>(row[x]);
      out[3 * x + 1] = static_cast<unsigned char>(row[x] >> 8);
      out[3 * x + 2] = static_cast<unsigned char>(row[x] >> 16);
    }
  }
}
} // namespace

namespace {

// One format's content: a block of `size` bytes, filled by `fill`.
struct Content {
  UINT format;
  std::size_t size;
  std::function<void(unsigned char*)> fill;
};

// Hands the blocks to the clipboard as its only content; false unless the clipboard took them all.
bool place(HWND owner, const std::vector<Content>& contents) {
  std::vector<HGLOBAL> blocks;
  auto freeAll = [&] {
    for (HGLOBAL block : blocks) ::GlobalFree(block);
  };
  for (const Content& content : contents) {
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, content.size);
    void* bytes = block ? ::GlobalLock(block) : nullptr;
    if (!bytes) {
      if (block) ::GlobalFree(block);
      freeAll();
      return false;
    }
    content.fill(static_cast<unsigned char*>(bytes));
    ::GlobalUnlock(block);
    blocks.push_back(block);
  }
  if (!::OpenClipboard(owner)) {
    freeAll();
    return false;
  }
  ::EmptyClipboard();
  bool placed = true;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    // The clipboard owns a block only once it took it.
    if (::SetClipboardData(contents[i].format, blocks[i]))
      blocks[i] = nullptr;
    else
      placed = false;
  }
  ::CloseClipboard();
  for (HGLOBAL block : blocks)
    if (block) ::GlobalFree(block);
  return placed;
}

} // namespace

bool Win32Clipboard::setText(const std::string& text) {
  // Exactly the text and its terminating zero: some readers take the whole block. The system
  // makes CF_TEXT of it for readers of the code page.
  const std::wstring wide = widen(text);
  const std::size_t size = (wide.size() + 1) * sizeof(wchar_t);
  return place(owner_, {{CF_UNICODETEXT, size,
                         [&](unsigned char* bytes) { std::memcpy(bytes, wide.c_str(), size); }}});
}

// 24 bits, since a reader may take a 32-bit one's unused byte for transparency; the system makes
// CF_DIB and CF_BITMAP of it for older readers. The registered "PNG" format beside it is what
// browsers and chats paste.
bool Win32Clipboard::setPicture(const screen::Picture& picture, std::span<const std::uint8_t> png) {
  if (picture.empty()) return false;
  const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
  const std::size_t pixels = stride * static_cast<std::size_t>(picture.height);
  std::vector<Content> contents{{CF_DIBV5, sizeof(BITMAPV5HEADER) + pixels, [&](unsigned char* bytes) {
                                   BITMAPV5HEADER header{};
                                   header.bV5Size = sizeof header;
                                   header.bV5Width = picture.width;
                                   header.bV5Height = picture.height;
                                   header.bV5Planes = 1;
                                   header.bV5BitCount = 24;
                                   header.bV5Compression = BI_RGB;
                                   header.bV5SizeImage = static_cast<DWORD>(pixels);
                                   header.bV5CSType = LCS_sRGB;
                                   header.bV5Intent = LCS_GM_IMAGES;
                                   std::memcpy(bytes, &header, sizeof header);
                                   writeRows(picture, stride, bytes + sizeof header);
                                 }}};
  if (UINT pngFormat = ::RegisterClipboardFormatW(L"PNG"); pngFormat != 0 && !png.empty())
    contents.push_back(
        {pngFormat, png.size(), [&](unsigned char* bytes) { std::memcpy(bytes, png.data(), png.size()); }});
  return place(owner_, contents);
}

namespace {

// The plain text of the clipboard, which must be open.
std::optional<std::string> openClipboardText() {
  std::optional<std::string> result;
  if (HANDLE block = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* units = static_cast<const wchar_t*>(::GlobalLock(block))) {
      std::wstring wide(units, wcsnlen(units, ::GlobalSize(block) / sizeof(wchar_t)));
      ::GlobalUnlock(block);
      // Text no UTF-8 can hold (a lone surrogate) is no text of ours.
      try {
        result = narrow(wide);
      } catch (const Error&) {
      }
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
