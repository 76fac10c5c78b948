#include "platform/files.h"
#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace glimor::platform {
namespace {

std::string cannotCreate(const std::string& path, int error) {
  return "Cannot create file \"" + std::filesystem::absolute(path).string() + "\". " + std::strerror(error);
}

class PosixFiles final : public Files {
public:
  void replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw Error(cannotCreate(path, errno));
    ::fchmod(fd, 0644);
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    bool complete = done == bytes.size() && ::close(fd) == 0;
    if (!complete) {
      if (done != bytes.size()) ::close(fd);
      ::unlink(temp.c_str());
      throw Error("Stream write error");
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      int error = errno;
      ::unlink(temp.c_str());
      throw Error(cannotCreate(path, error));
    }
  }

  std::optional<Bytes> read(const std::string& path) override { return readAtMost(path, SIZE_MAX); }

  std::optional<Bytes> readAtMost(const std::string& path, std::size_t limit) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    Bytes data;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
      data.reserve(std::min(static_cast<std::size_t>(info.st_size), limit));
    std::uint8_t chunk[65536];
    while (data.size() < limit) {
      ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - data.size()));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        return std::nullopt;
      }
      if (n == 0) break;
      data.insert(data.end(), chunk, chunk + n);
    }
    ::close(fd);
    return data;
  }

  bool exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }
  bool remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
};

} // namespace

Files& systemFiles() {
  static PosixFiles files;
  return files;
}

} // namespace glimor::platform
