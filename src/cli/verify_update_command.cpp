// glimor-cli verify-update <version-file> <exe> <public-key-hex>: whether Glimor would start <exe>
// when the service published this version file, by the update check's own rules: 0 when it would,
// 1 with the status text that says why not.
#include "app/startup.h"
#include "cli/command.h"
#include "net/update_origin.h"
#include "net/version_file.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstdio>
#include <string>

namespace glimor::cli {
namespace {

int badInput(const std::string& why) {
  std::fprintf(stderr, "glimor-cli verify-update: %s\n", why.c_str());
  return 2;
}

int refused(std::string_view why) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(why.size()), why.data());
  return 1;
}

int runVerifyUpdate(Arguments args) {
  if (args.size() != 3) {
    std::fputs("usage: glimor-cli verify-update <version-file> <exe> <public-key-hex>\n", stderr);
    return 2;
  }
  const std::string versionPath(args[0]), exePath(args[1]);
  const std::optional<net::UpdateKey> key = net::parseKeyHex(args[2]);
  if (!key) return badInput("the public key is not 64 hex digits");
  platform::Files& files = platform::systemFiles();
  const std::optional<platform::Bytes> versionBytes = files.read(versionPath);
  if (!versionBytes) return badInput(versionPath + ": cannot read the file");
  const std::optional<platform::Bytes> executable = files.read(exePath);
  if (!executable) return badInput(exePath + ": cannot read the file");

  net::VersionFile file;
  try {
    file = net::readVersionFile(*versionBytes, app::programVersion);
  } catch (const Error& error) {
    return refused(error.what());
  }
  if (file.verdict != net::VersionFile::Verdict::NewerVersion) return refused(net::verdictText(file.verdict));
  const net::UpdateOrigin origin = net::checkUpdateOrigin(file, *key);
  if (origin.refusal) return refused(net::refusalReason(*origin.refusal));
  if (net::sha256Of(*executable) != origin.digest)
    return refused(net::refusalReason(net::UpdateRefusal::DownloadMismatch));
  std::printf("The update to %s (%s) would be started.\n", file.version.c_str(), file.fileName.c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const CommandRegistration
    registration({"verify-update", "verify-update <version-file> <exe> <public-key-hex>", runVerifyUpdate});

} // namespace
} // namespace glimor::cli
