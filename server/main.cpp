#include "admin_command.h"
#include "config.h"
#include "migrate_command.h"
#include "platform/error.h"
#include "server.h"
#include "token_command.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

// Commands that work on a store instead of running the service.
struct Subcommand {
  std::string_view name;
  int (*run)(std::span<const std::string_view> arguments);
};
constexpr Subcommand subcommands[] = {
    {"admin", glimor::server::runAdminCommand},
    {"token", glimor::server::runTokenCommand},
    {"store", glimor::server::runStoreMigrateCommand},
};

} // namespace

int main(int argc, char** argv) {
  // The database holds feedback's e-mail addresses and the images may be
  // private: whatever the service or a command creates is for its user only.
  umask(0077);
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  for (const Subcommand& subcommand : subcommands)
    if (!arguments.empty() && arguments[0] == subcommand.name)
      return subcommand.run(std::span(arguments).subspan(1));

  std::optional<glimor::server::Config> config;
  try {
    config = glimor::server::parseCommandLine(arguments);
  } catch (const glimor::Error& error) {
    std::fprintf(stderr, "glimor-server: %s\n%s", error.what(), glimor::server::usageText.data());
    return 2;
  }
  if (!config) {
    std::fputs(glimor::server::usageText.data(), stdout);
    return 0;
  }
  try {
    glimor::server::runServer(*config);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glimor-server: %s\n", error.what());
    return 1;
  }
}
