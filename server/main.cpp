#include "config.h"
#include "platform/error.h"
#include "server.h"
#include "token_command.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  // Commands on the stores, beside the service itself.
  if (!arguments.empty() && arguments[0] == "token")
    return glimor::server::runTokenCommand(std::span(arguments).subspan(1));
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
