#include "cli/command.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "net/upload_deletion.h"
#include "net/web_link.h"
#include "platform/tls.h"

#include <cstdio>
#include <string>

// glimor-cli delete <url> [--get]: takes an upload back through the deletion link its upload printed
// (--get: opened with a GET, as the deletion links of an uploader file's service are).
// Exit code 0 only when the service deleted it (2xx); 1 when it refused or was not reached
// (an image deleted before, 410, included); 2 for a URL that is no web link.
namespace glimor::cli {
namespace {

int runDelete(Arguments args) {
  const bool byGet = args.size() == 2 && args[1] == "--get";
  if (args.size() != 1 && !byGet) {
    std::fputs("usage: glimor-cli delete <url> [--get]\n", stderr);
    return 2;
  }
  std::string url(args[0]);
  if (!net::isWebLink(url)) {
    std::fprintf(stderr, "glimor-cli: not an http or https link: %s\n", url.c_str());
    return 2;
  }
  // https is checked against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name others).
  net::ServiceClients clients(platform::systemNetwork(), &platform::systemTls(),
                              [] { return net::ServiceSettings{}; }, {});
  net::Deletion deletion = net::deleteUpload(clients.deletion(clients.settings()), url, byGet);
  switch (deletion.outcome) {
  case net::Deletion::Outcome::Deleted:
    std::fprintf(stderr, "%.*s\n", static_cast<int>(net::statusImageDeleted.size()),
                 net::statusImageDeleted.data());
    return 0;
  case net::Deletion::Outcome::AlreadyGone:
    std::fputs("glimor-cli: the image was deleted before (410 Gone).\n", stderr);
    return 1;
  case net::Deletion::Outcome::Failed:
    break;
  }
  std::fprintf(stderr, "%.*s%s\n", static_cast<int>(net::postErrorPrefix.size()), net::postErrorPrefix.data(),
               deletion.error.c_str());
  return 1;
}

const CommandRegistration registration({"delete", "delete <url> [--get]", runDelete});

} // namespace
} // namespace glimor::cli
