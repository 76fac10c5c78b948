#pragma once
#include "config.h"
#include "platform/error.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace glimor::server {

// Where a command that works on the service's store (token, admin) finds it.
struct StoreLocation {
  std::string dataDirectory;
  std::optional<DatabaseSettings> database;
  std::optional<S3Settings> s3; // the bucket of the images, with either
  bool sawS3Flag = false;
};

// Takes `--data DIR`, `--database URI` or one of the --s3 flags (also written `--data=DIR`) at
// arguments[i], moving i past its value. Returns false when arguments[i] is none of them.
bool takeStoreFlag(std::span<const std::string_view> arguments, std::size_t& i, StoreLocation& store);

// Throws unless exactly one of --data and --database was given, and the --s3 flags are complete.
void requireOneStore(const StoreLocation& store, std::string_view command);

// Runs a store command with the reporting they share: --help prints the usage (exit 0), a wrong
// command line the reason and the usage (exit 2), a failure the reason (exit 1).
template <class Request>
int runStoreCommand(std::string_view command, std::string_view usage,
                    std::span<const std::string_view> arguments,
                    Request (*parse)(std::span<const std::string_view>), int (*run)(const Request&)) {
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return 0;
  }
  std::optional<Request> request;
  try {
    request = parse(arguments);
  } catch (const Error& error) {
    std::fprintf(stderr, "glimor-server %.*s: %s\n%.*s", int(command.size()), command.data(), error.what(),
                 int(usage.size()), usage.data());
    return 2;
  }
  try {
    return run(*request);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glimor-server %.*s: %s\n", int(command.size()), command.data(), error.what());
    return 1;
  }
}

} // namespace glimor::server
