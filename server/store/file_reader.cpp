#include "file_reader.h"

#include "platform/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimor::server {

std::shared_ptr<FileReader> FileReader::open(const std::filesystem::path& path) {
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0 && (errno == ENOENT || errno == ENOTDIR)) return nullptr;
  if (descriptor < 0) throw Error("Cannot open \"" + path.string() + "\": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return nullptr;
  }
  return std::shared_ptr<FileReader>(
      new FileReader(descriptor, static_cast<std::uint64_t>(status.st_size), path));
}

FileReader::~FileReader() {
  ::close(descriptor_);
}

std::string FileReader::read(std::uint64_t offset, std::size_t length) {
  std::string part(length, '\0');
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(descriptor_, part.data() + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Error("Cannot read \"" + path_.string() + "\": " + std::strerror(errno));
    if (n == 0) break; // the end of the file
    done += static_cast<std::size_t>(n);
  }
  part.resize(done);
  return part;
}

} // namespace glimor::server
