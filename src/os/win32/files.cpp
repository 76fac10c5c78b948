#include "platform/files.h"
#include "os/win32/system_text.h"
#include "os/win32/wide_text.h"
#include "platform/error.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace glimor::platform {
namespace {

using win32::narrow;
using win32::widen;

std::string fullPath(const std::string& path) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = ::GetFullPathNameW(widen(path).c_str(), MAX_PATH * 4, buffer, nullptr);
  return n > 0 && n < MAX_PATH * 4 ? narrow({buffer, n}) : path;
}

std::string cannotCreate(const std::string& path, DWORD error) {
  return "Cannot create file \"" + fullPath(path) + "\". " + win32::systemErrorText(error);
}

class Win32Files final : public Files {
public:
  void replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    // The temporary file sits beside the target, so the rename never crosses volumes.
    std::string temp = path + ".tmp" + std::to_string(::GetCurrentProcessId());
    const std::wstring tempName = widen(temp);
    HANDLE file = ::CreateFileW(tempName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw Error(cannotCreate(path, ::GetLastError()));
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) break;
      done += written;
    }
    bool complete = done == bytes.size();
    ::CloseHandle(file);
    if (!complete) {
      ::DeleteFileW(tempName.c_str());
      throw Error("Stream write error");
    }
    if (!::MoveFileExW(tempName.c_str(), widen(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      DWORD error = ::GetLastError();
      ::DeleteFileW(tempName.c_str());
      throw Error(cannotCreate(path, error));
    }
  }

  std::optional<Bytes> read(const std::string& path) override { return readAtMost(path, SIZE_MAX); }

  std::optional<Bytes> readAtMost(const std::string& path, std::size_t limit) override {
    HANDLE file = ::CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    Bytes data;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0)
      data.reserve(std::min(static_cast<std::size_t>(size.QuadPart), limit));
    std::uint8_t chunk[65536];
    while (data.size() < limit) {
      DWORD n = 0;
      if (!::ReadFile(file, chunk, static_cast<DWORD>(std::min(sizeof chunk, limit - data.size())), &n,
                      nullptr)) {
        ::CloseHandle(file);
        return std::nullopt;
      }
      if (n == 0) break;
      data.insert(data.end(), chunk, chunk + n);
    }
    ::CloseHandle(file);
    return data;
  }

  bool exists(const std::string& path) override {
    return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool remove(const std::string& path) override { return ::DeleteFileW(widen(path).c_str()) != 0; }
};

} // namespace

Files& systemFiles() {
  static Win32Files files;
  return files;
}

} // namespace glimor::platform
