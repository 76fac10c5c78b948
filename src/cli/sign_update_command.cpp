// glimor-cli sign-update <secret-file> <exe> <url> <name> <version>: prints the five-line version
// file for <exe>, signed with the seed from `update-key`. A file the program would refuse for its
// lines is not signed at all.
#include "cli/command.h"
#include "net/text_lines.h"
#include "net/update_origin.h"
#include "net/version_file.h"
#include "platform/files.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace glimor::cli {
namespace {

int badInput(const std::string& why) {
  std::fprintf(stderr, "glimor-cli sign-update: %s\n", why.c_str());
  return 2;
}

std::optional<net::UpdateSeed> readSeed(const std::string& path) {
  std::optional<platform::Bytes> bytes = platform::systemFiles().read(path);
  if (!bytes) return std::nullopt;
  const std::vector<std::string> lines = net::readTextLines(*bytes);
  if (lines.size() != 1) return std::nullopt;
  return net::parseKeyHex(lines.front());
}

// Why the program would refuse the signed file for its lines 1 and 2, or nothing.
std::optional<std::string> refusalOf(const std::string& text, const net::VersionFile& signedFile,
                                     const net::UpdateKey& key) {
  using Verdict = net::VersionFile::Verdict;
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const net::VersionFile read = net::readVersionFile(bytes, "");
  if (read.verdict == Verdict::IncorrectSource) return "the URL is empty";
  if (read.verdict == Verdict::IncorrectDestination) return "the name is not a plain file name";
  if (read.downloadUrl != signedFile.downloadUrl || read.fileName != signedFile.fileName ||
      read.version != signedFile.version)
    return "the URL, name and version must be single lines";
  if (auto refusal = net::checkUpdateOrigin(read, key).refusal)
    return std::string(net::refusalReason(*refusal));
  return std::nullopt;
}

int runSignUpdate(Arguments args) {
  if (args.size() != 5) {
    std::fputs("usage: glimor-cli sign-update <secret-file> <exe> <url> <name> <version>\n", stderr);
    return 2;
  }
  const std::string secretPath(args[0]), exePath(args[1]);
  std::optional<net::UpdateSeed> seed = readSeed(secretPath);
  if (!seed) return badInput(secretPath + ": not a secret key file (64 hex digits and a newline)");
  std::optional<platform::Bytes> executable = platform::systemFiles().read(exePath);
  if (!executable) return badInput(exePath + ": cannot read the file");

  net::VersionFile file{net::VersionFile::Verdict::NewerVersion, std::string(args[2]), std::string(args[3]),
                        std::string(args[4])};
  net::signUpdate(file, *executable, *seed);
  const net::UpdateKey key = net::publicKeyOf(*seed);
  const std::string text = net::formatVersionFile(file);
  if (std::optional<std::string> refusal = refusalOf(text, file, key)) return badInput(*refusal);

#ifdef _WIN32
  // The CR LF line ends go out as they are.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const CommandRegistration
    registration({"sign-update", "sign-update <secret-file> <exe> <url> <name> <version>", runSignUpdate});

} // namespace
} // namespace glimor::cli
