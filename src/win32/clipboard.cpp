#include "win32/clipboard.h"

#include <cstring>

namespace glimor::win32 {

bool Win32Clipboard::setText(const std::string& text) {
  // Exactly the text and its terminating zero: some readers take the whole block.
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!block) return false;
  void* bytes = ::GlobalLock(block);
  if (!bytes) {
    ::GlobalFree(block);
    return false;
  }
  std::memcpy(bytes, text.c_str(), text.size() + 1);
  ::GlobalUnlock(block);
  if (!::OpenClipboard(owner_)) {
    ::GlobalFree(block);
    return false;
  }
  ::EmptyClipboard();
  bool placed = ::SetClipboardData(CF_TEXT, block) != nullptr;
  ::CloseClipboard();
  if (!placed) ::GlobalFree(block); // the clipboard owns the block only once it took it
  return placed;
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
