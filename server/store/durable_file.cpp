#include "durable_file.h"

#include "platform/error.h"
#include "store_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace glimor::server {
namespace {

[[noreturn]] void failWith(const std::string& what, const std::filesystem::path& path, int error) {
  if (error == ENOSPC || error == EDQUOT) throw diskFull();
  throw Error(what + " \"" + path.string() + "\": " + std::strerror(error));
}

void syncFolder(const std::filesystem::path& folder) {
  int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) failWith("Cannot open folder", folder, errno);
  int result = ::fsync(descriptor);
  int error = errno;
  ::close(descriptor);
  if (result != 0) failWith("Cannot flush folder", folder, error);
}

} // namespace

bool writeDurably(const std::filesystem::path& temporary, const std::filesystem::path& target,
                  std::string_view bytes) {
  int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) failWith("Cannot create file", temporary, errno);
  auto abandon = [&](const std::string& what, int error) {
    ::close(descriptor);
    ::unlink(temporary.c_str());
    failWith(what, temporary, error);
  };
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t result = ::write(descriptor, bytes.data() + written, bytes.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) abandon("Cannot write file", result < 0 ? errno : EIO);
    written += static_cast<std::size_t>(result);
  }
  if (::fsync(descriptor) != 0) abandon("Cannot flush file", errno);
  if (::close(descriptor) != 0) {
    int error = errno;
    ::unlink(temporary.c_str());
    failWith("Cannot close file", temporary, error);
  }
  // renameat2 with RENAME_NOREPLACE, so a stored file is never overwritten.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    int error = errno;
    ::unlink(temporary.c_str());
    if (error == EEXIST) return false;
    failWith("Cannot move file into place", target, error);
  }
  syncFolder(target.parent_path());
  return true;
}

void createFolderDurably(const std::filesystem::path& folder) {
  std::error_code error;
  if (std::filesystem::create_directory(folder, error))
    syncFolder(folder.parent_path());
  else if (error)
    throw Error("Cannot create folder \"" + folder.string() + "\": " + error.message());
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

} // namespace glimor::server
