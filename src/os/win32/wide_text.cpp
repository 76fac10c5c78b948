#include "os/win32/wide_text.h"

#include "platform/error.h"

#include <windows.h>

#include <climits>

namespace glimor::win32 {
namespace {

int lengthOf(std::size_t size) {
  if (size > INT_MAX) throw Error("Text too long");
  return static_cast<int>(size);
}

std::wstring toWide(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return {};
  const int size = lengthOf(text.size());
  int n = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (n <= 0) throw Error("Text is not valid UTF-8");
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), n);
  return wide;
}

} // namespace

std::wstring widen(std::string_view utf8) {
  return toWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
}

std::wstring widenShown(std::string_view utf8) {
  return toWide(CP_UTF8, 0, utf8);
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = lengthOf(wide.size());
  int n =
      ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) throw Error("Text is not valid UTF-16");
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

bool isUtf8(std::string_view bytes) {
  return bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                lengthOf(bytes.size()), nullptr, 0) > 0;
}

std::string narrowFromAnsi(std::string_view ansi) {
  return narrow(toWide(CP_ACP, 0, ansi));
}

} // namespace glimor::win32
