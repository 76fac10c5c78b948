// glimor-cli update-key <secret-file>: makes a new update key. The secret file gets the Ed25519 seed
// as 64 hex digits and a newline, readable by its owner only; the public key goes to stdout.
#include "cli/command.h"
#include "net/update_origin.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace glimor::cli {
namespace {

// Created here and nowhere else: an existing file, perhaps the key that signed earlier updates,
// is never written over. 0, or the errno of what failed.
int writeNewSecretFile(const std::string& path, const std::string& text) {
#ifdef _WIN32
  int file = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (file < 0) return errno;
  errno = 0;
  bool written =
      ::_write(file, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size());
  written = ::_close(file) == 0 && written;
#else
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (file < 0) return errno;
  errno = 0;
  bool written = ::write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  written = ::fsync(file) == 0 && written;
  written = ::close(file) == 0 && written;
#endif
  if (written) return 0;
  const int error = errno != 0 ? errno : EIO;
  std::remove(path.c_str()); // a part of a key is no key
  return error;
}

int runUpdateKey(Arguments args) {
  if (args.size() != 1) {
    std::fputs("usage: glimor-cli update-key <secret-file>\n", stderr);
    return 2;
  }
  const std::string path(args[0]);
  const net::UpdateSeed seed = net::newUpdateSeed();
  const int error = writeNewSecretFile(path, net::hexOf(seed) + "\n");
  if (error != 0) {
    std::fprintf(stderr, "glimor-cli: cannot create %s: %s\n", path.c_str(),
                 error == EEXIST ? "the file exists (it is never overwritten)" : std::strerror(error));
    return 1;
  }
  std::printf("%s\n", net::hexOf(net::publicKeyOf(seed)).c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const CommandRegistration registration({"update-key", "update-key <secret-file>", runUpdateKey});

} // namespace
} // namespace glimor::cli
