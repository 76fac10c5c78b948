#include "token_command.h"

#include "config.h"
#include "platform/error.h"
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
  std::string dataDirectory;
  std::string databaseUri;
};

TokenCommand parse(std::span<const std::string_view> arguments) {
  TokenCommand command;
  std::vector<std::string_view> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    std::optional<std::string_view> value;
    if (std::size_t equals = argument.find('=');
        argument.starts_with("--") && equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
    }
    if (argument == "--data" || argument == "--database") {
      if (!value && i + 1 < arguments.size()) value = arguments[++i];
      if (!value || value->empty()) throw Error(std::string(argument) + " needs a value");
      (argument == "--data" ? command.dataDirectory : command.databaseUri) = *value;
    } else if (argument.starts_with("--")) {
      throw Error("unknown argument \"" + std::string(arguments[i]) + "\"");
    } else {
      words.push_back(argument);
    }
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
  if (command.dataDirectory.empty() == command.databaseUri.empty())
    throw Error("token needs either --data DIR or --database URI, the store the service uses");
  return command;
}

std::unique_ptr<TokenStore> openStore(const TokenCommand& command) {
  std::optional<DatabaseSettings> database;
  if (!command.databaseUri.empty()) database = DatabaseSettings{command.databaseUri, 1};
  return std::move(openStores(command.dataDirectory, database).tokens);
}

int run(const TokenCommand& command) {
  auto store = openStore(command);
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
  TokenCommand command;
  try {
    command = parse(arguments);
  } catch (const Error& error) {
    std::fprintf(stderr, "glimor-server: %s\n%s", error.what(), tokenUsage.data());
    return 2;
  }
  try {
    return run(command);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glimor-server: %s\n", error.what());
    return 1;
  }
}

} // namespace glimor::server
