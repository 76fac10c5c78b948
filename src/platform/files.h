#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace glimor::platform {

using Bytes = std::vector<std::uint8_t>;

// The file system as the core needs it. Paths are full paths in the system's
// 8-bit code page.
class Files {
public:
  virtual ~Files() = default;

  // Replaces the file at `path` with `bytes` in one step: the bytes go to a
  // temporary file in the same folder, which is then renamed over the target,
  // so a failed write leaves the previous file as it was.
  // Throws Error("Cannot create file \"<path>\". <system text>") when the file
  // cannot be created and Error("Stream write error") on a short write.
  virtual void replace(const std::string& path, std::span<const std::uint8_t> bytes) = 0;

  // The whole file, or nothing when it cannot be opened or read.
  virtual std::optional<Bytes> read(const std::string& path) = 0;

  // At most the first `limit` bytes of the file, or nothing when it cannot be opened or read;
  // for files that are not trusted to be small.
  virtual std::optional<Bytes> readAtMost(const std::string& path, std::size_t limit) {
    std::optional<Bytes> all = read(path); // files in memory; the system's read no more
    if (all && all->size() > limit) all->resize(limit);
    return all;
  }

  virtual bool exists(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
};

// The operating system's file system (POSIX natively, Win32 in Glimor.exe).
Files& systemFiles();

} // namespace glimor::platform
