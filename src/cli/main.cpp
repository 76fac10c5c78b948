#include "cli/command.h"

#include <cstdio>
#include <exception>
#include <string_view>
#include <vector>

namespace glimor::cli {
namespace {

std::vector<Command>& commands() {
  static std::vector<Command> all;
  return all;
}

int usage() {
  const char* prefix = "usage:";
  for (const Command& command : commands()) {
    std::fprintf(stderr, "%s glimor-cli %.*s\n", prefix, static_cast<int>(command.usage.size()),
                 command.usage.data());
    prefix = "      ";
  }
  return 2;
}

} // namespace

CommandRegistration::CommandRegistration(const Command& command) { commands().push_back(command); }

} // namespace glimor::cli

int main(int argc, char** argv) {
  using namespace glimor::cli;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  for (const Command& command : commands()) {
    if (command.name != args.front()) continue;
    try {
      return command.run(Arguments(args).subspan(1));
    } catch (const std::exception& error) {
      std::fprintf(stderr, "glimor-cli: %s\n", error.what());
      return 1;
    }
  }
  return usage();
}
