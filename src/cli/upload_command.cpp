#include "cli/command.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "net/uploader_file.h"
#include "platform/files.h"
#include "platform/tls.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

// glimor-cli upload <file> [--host [https://]H] [--token T] [--uploader U]: the upload worker's road
// without the window; with --uploader, to the service that the uploader file U describes. The status texts go
// to stderr; the link, then the deletion link when the service gave one, to stdout. The token may also come
// from GLIMOR_TOKEN. Exit code 0 only for a completed upload.
namespace glimor::cli {
namespace {

constexpr std::string_view usageText = "upload <file> [--host H] [--token T] [--uploader FILE]";
constexpr std::string_view tokenOnCommandLine = "Give the upload token with --token or GLIMOR_TOKEN.";

void printLine(std::FILE* to, std::string_view text) {
  std::fprintf(to, "%.*s\n", static_cast<int>(text.size()), text.data());
}

class ConsoleUploadView final : public net::UploadView {
public:
  explicit ConsoleUploadView(std::string path) : path_(std::move(path)) {}

  std::string filePath() override { return path_; }
  void setStatus(std::string_view text) override { printLine(stderr, text); }
  void showBusy() override {}
  void showPostError(std::string_view message, net::PostFailure) override { printLine(stderr, message); }
  void setResponseLines(const std::vector<std::string>&) override {}
  void setLink(std::string_view link) override { link_ = link; }
  bool copyLink() override {
    printLine(stdout, link_);
    return true;
  }
  void rememberUpload(const net::UploadRecord& upload) override {
    if (!upload.deletionUrl.empty()) printLine(stdout, upload.deletionUrl);
  }
  void startFloodLock() override {}
  void endBusy() override {}
  void announce(bool, std::string_view) override {} // the status line on stderr says it already

private:
  std::string path_;
  std::string link_;
};

int usage() {
  std::fprintf(stderr, "usage: glimor-cli %.*s\n", static_cast<int>(usageText.size()), usageText.data());
  return 2;
}

int runUpload(Arguments args) {
  if (args.empty()) return usage();
  std::optional<std::string> host, token, uploader;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 == args.size()) return usage();
    std::optional<std::string>* option = args[i] == "--host"       ? &host
                                         : args[i] == "--token"    ? &token
                                         : args[i] == "--uploader" ? &uploader
                                                                   : nullptr;
    if (!option || *option) return usage(); // unknown, or given twice
    *option = std::string(args[i + 1]);
  }
  if (!token)
    if (const char* fromEnvironment = std::getenv("GLIMOR_TOKEN")) token = fromEnvironment;

  const net::ServiceSettings settings{
      host.value_or(std::string(net::defaultServiceHost)), token.value_or(""), {}, uploader.value_or("")};
  // https is checked against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name others).
  net::ServiceClients clients(
      platform::systemNetwork(), &platform::systemTls(), [settings] { return settings; },
      std::string(tokenOnCommandLine));
  try {
    clients.upload(settings); // checks the token: one that cannot be sent is bad input
    if (uploader) net::readUploaderFile(platform::systemFiles(), *uploader); // and a bad uploader file
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glimor-cli: %s\n", error.what());
    return 2;
  }
  ConsoleUploadView view{std::string(args[0])};
  net::UploadOutcome outcome = net::uploadImage(view, clients, settings, platform::systemFiles());
  std::fflush(stdout);
  return outcome == net::UploadOutcome::Complete ? 0 : 1;
}

const CommandRegistration registration({"upload", usageText, runUpload});

} // namespace
} // namespace glimor::cli
