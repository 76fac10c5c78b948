#include "token_command.h"

#include "config.h"
#include "platform/error.h"
#include "store_command.h"
#include "store_opening.h"
#include "utc_time.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace glimor::server {
namespace {

constexpr std::string_view tokenUsage =
    "usage: glimor-server token add NAME    (--data DIR | --database URI)\n"
    "       glimor-server token list        (--data DIR | --database URI)\n"
    "       glimor-server token revoke NAME (--data DIR | --database URI)\n";

struct TokenCommand {
  std::string action; // add, list, revoke
  std::string name;
  StoreLocation store;
};

TokenCommand parse(std::span<const std::string_view> arguments) {
  TokenCommand command;
  std::vector<std::string_view> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (takeStoreFlag(arguments, i, command.store)) continue;
    if (arguments[i].starts_with("--")) throw Error("unknown argument \"" + std::string(arguments[i]) + "\"");
    words.push_back(arguments[i]);
  }
  if (words.empty()) throw Error("token needs add, list or revoke");
  command.action = words[0];
  std::size_t wanted = command.action == "list" ? 1 : 2;
  if (command.action != "add" && command.action != "list" && command.action != "revoke")
    throw Error("unknown token command \"" + command.action + "\"");
  if (words.size() != wanted)
    throw Error("token " + command.action + (wanted == 2 ? " takes one NAME" : " takes no NAME"));
  if (wanted == 2) {
    command.name = words[1];
    if (!isValidTokenName(command.name))
      throw Error("\"" + command.name +
                  "\" is not a token name: 1 to 64 letters, digits, '.', '_', '-' or '@'");
  }
  requireOneStore(command.store, "token");
  return command;
}

int run(const TokenCommand& command) {
  auto store = std::move(openStores(command.store.dataDirectory, command.store.database).tokens);
  if (command.action == "add") {
    std::string token = newUploadToken();
    store->add(command.name, tokenHash(token));
    std::printf(
        "Token \"%s\" added. It is shown only now; Glimor takes it as [Service] Token= in Glimor.ini,\n"
        "other clients as the line \"Authorization: Bearer TOKEN\":\n%s\n",
        command.name.c_str(), token.c_str());
  } else if (command.action == "list") {
    for (const TokenRecord& record : store->list())
      std::printf("%s\t%s\n", record.name.c_str(), formatUtc(record.createdAt).c_str());
  } else {
    if (!store->revoke(command.name)) throw Error("no token named \"" + command.name + "\"");
    std::printf("Token \"%s\" revoked.\n", command.name.c_str());
  }
  return 0;
}

} // namespace

int runTokenCommand(std::span<const std::string_view> arguments) {
  return runStoreCommand("token", tokenUsage, arguments, parse, run);
}

} // namespace glimor::server
