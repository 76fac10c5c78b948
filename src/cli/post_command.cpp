#include "cli/command.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "platform/files.h"
#include "platform/tls.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

// glimor-cli post <url> <body-file> [--client upload|contact]: one Post with the configuration of
// the chosen client object; the answer body goes to stdout as received.
namespace glimor::cli {
namespace {

int runPost(Arguments args) {
  if (args.size() != 2 && !(args.size() == 4 && args[2] == "--client")) {
    std::fputs("usage: glimor-cli post <url> <body-file> [--client upload|contact]\n", stderr);
    return 2;
  }
  std::string_view client = args.size() == 4 ? args[3] : "upload";
  if (client != "upload" && client != "contact") {
    std::fprintf(stderr, "glimor-cli: unknown client \"%.*s\" (upload or contact)\n",
                 static_cast<int>(client.size()), client.data());
    return 2;
  }
  std::string bodyPath(args[1]);
  std::optional<platform::Bytes> body = platform::systemFiles().read(bodyPath);
  if (!body) {
    std::fprintf(stderr, "glimor-cli: cannot read %s\n", bodyPath.c_str());
    return 2;
  }

  // https is checked against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name others).
  net::ServiceClients clients(platform::systemNetwork(), &platform::systemTls(),
                              [] { return net::ServiceSettings{}; }, {});
  const net::ServiceSettings settings = clients.settings(); // no token, no trust anchor of its own
  http::HttpClient& chosen = client == "upload" ? clients.upload(settings) : clients.contact(settings);
  http::Bytes answer;
  try {
    chosen.Post(args[0], *body, answer);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(net::postErrorPrefix.size()),
                 net::postErrorPrefix.data(), error.what());
    return 1;
  }
#ifdef _WIN32
  // The answer goes out byte for byte: no LF to CR LF translation on the console stream.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (!answer.empty()) std::fwrite(answer.data(), 1, answer.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const CommandRegistration registration({"post", "post <url> <body-file> [--client upload|contact]", runPost});

} // namespace
} // namespace glimor::cli
