#include "cli/command.h"
#include "net/endpoints.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "platform/files.h"
#include "platform/tls.h"

#include <cstdio>
#include <string>

// glimor-cli upload <file> [--host [https://]H]: the upload worker's road without the window. The status
// texts go to stderr, the link to stdout; exit code 0 only for a completed upload.
namespace glimor::cli {
namespace {

void printLine(std::FILE* to, std::string_view text) {
  std::fprintf(to, "%.*s\n", static_cast<int>(text.size()), text.data());
}

class ConsoleUploadView final : public net::UploadView {
public:
  explicit ConsoleUploadView(std::string path) : path_(std::move(path)) {}

  std::string filePath() override { return path_; }
  void setStatus(std::string_view text) override { printLine(stderr, text); }
  void showBusy() override {}
  void showPostError(std::string_view message) override { printLine(stderr, message); }
  void setResponseLines(const std::vector<std::string>&) override {}
  void setLink(std::string_view link) override { link_ = link; }
  void copyLink() override { printLine(stdout, link_); }
  void bringToFront() override {}
  void startFloodLock() override {}
  void showMainWindow() override {}
  void endBusy() override {}

private:
  std::string path_;
  std::string link_;
};

int runUpload(Arguments args) {
  if (args.size() != 1 && !(args.size() == 3 && args[1] == "--host")) {
    std::fputs("usage: glimor-cli upload <file> [--host H]\n", stderr);
    return 2;
  }
  net::ServiceEndpoints endpoints(args.size() == 3 ? std::string(args[2])
                                                   : std::string(net::defaultServiceHost));
  // https is checked against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name others).
  net::ServiceClients clients(platform::systemNetwork(), {}, {&platform::systemTls(), {}});
  ConsoleUploadView view{std::string(args[0])};
  net::UploadOutcome outcome =
      net::uploadImage(view, clients.HTTP, endpoints.uploadUrl(), platform::systemFiles());
  std::fflush(stdout);
  return outcome == net::UploadOutcome::Complete ? 0 : 1;
}

const CommandRegistration registration({"upload", "upload <file> [--host H]", runUpload});

} // namespace
} // namespace glimor::cli
