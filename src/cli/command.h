#pragma once
#include <span>
#include <string_view>

namespace glimor::cli {

using Arguments = std::span<const std::string_view>;

// A sub-command of glimor-cli. It gets the arguments after its own name and
// returns the exit code: 0 success, 1 the operation failed, 2 bad input or usage.
struct Command {
  std::string_view name;
  std::string_view usage; // e.g. "encode <in.bmp> <dir>"
  int (*run)(Arguments args);
};

// Each command's file registers itself with a static CommandRegistration.
struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};

} // namespace glimor::cli
