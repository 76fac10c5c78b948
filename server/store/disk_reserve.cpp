#include "disk_reserve.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace glimor::server {
namespace {

constexpr std::uint64_t largestReserve = 8 << 20;

std::uint64_t reserveSize(const std::filesystem::path& folder) {
  struct statvfs disk {};
  if (statvfs(folder.c_str(), &disk) != 0) return largestReserve;
  return std::min<std::uint64_t>(largestReserve, std::uint64_t(disk.f_blocks) * disk.f_frsize / 20);
}

} // namespace

DiskReserve::DiskReserve(std::filesystem::path dataDirectory) : path_(std::move(dataDirectory) / "reserve") {
  restore();
}

void DiskReserve::restore() {
  std::error_code error;
  if (std::filesystem::exists(path_, error)) return;
  std::filesystem::path staging = path_;
  staging += ".part";
  int file = ::open(staging.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (file < 0) return;
  // Blocks really taken, not a sparse file that would hold nothing back.
  bool made =
      posix_fallocate(file, 0, static_cast<off_t>(reserveSize(path_.parent_path()))) == 0 && fsync(file) == 0;
  ::close(file);
  if (made) std::filesystem::rename(staging, path_, error);
  if (!made || error) std::filesystem::remove(staging, error);
}

bool DiskReserve::release() {
  std::error_code error;
  return std::filesystem::remove(path_, error);
}

} // namespace glimor::server
