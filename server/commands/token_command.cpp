#include "token_command.h"

#include "config.h"
#include "platform/error.h"
#include "sharex_uploader.h"
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
    "                                       [--sxcu FILE --public-url URL [--link direct|page]]\n"
    "       glimor-server token sxcu NAME FILE --public-url URL [--link direct|page]\n"
    "                                       (--data DIR | --database URI)\n"
    "                                       (NAME's token on standard input)\n"
    "       glimor-server token list        (--data DIR | --database URI)\n"
    "       glimor-server token revoke NAME (--data DIR | --database URI)\n";

struct TokenCommand {
  std::string action; // add, sxcu, list, revoke
  std::string name;
  StoreLocation store;
  std::string shareXFile; // where to write a ShareX custom uploader for the token
  std::string publicUrl;  // the service as its clients reach it, for that uploader
  std::string link;       // which link that uploader gives: "direct" (the image) or "page"
};

// Takes `--sxcu FILE`, `--public-url URL` or `--link WHICH` at arguments[i]; false for anything else.
bool takeUploaderFlag(std::span<const std::string_view> arguments, std::size_t& i, TokenCommand& command) {
  std::string_view flag = arguments[i];
  std::optional<std::string_view> value;
  if (std::size_t equals = flag.find('='); equals != std::string_view::npos) {
    value = flag.substr(equals + 1);
    flag = flag.substr(0, equals);
  }
  if (flag != "--sxcu" && flag != "--public-url" && flag != "--link") return false;
  if (!value && i + 1 < arguments.size()) value = arguments[++i];
  if (!value || value->empty()) throw Error(std::string(flag) + " needs a value");
  if (flag == "--sxcu")
    command.shareXFile = *value;
  else if (flag == "--link" && *value != "direct" && *value != "page")
    throw Error("--link is direct or page");
  else if (flag == "--link")
    command.link = *value;
  else
    command.publicUrl = normalisePublicUrl(*value);
  return true;
}

TokenCommand parse(std::span<const std::string_view> arguments) {
  TokenCommand command;
  std::vector<std::string_view> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (takeStoreFlag(arguments, i, command.store) || takeUploaderFlag(arguments, i, command)) continue;
    if (arguments[i].starts_with("--")) throw Error("unknown argument \"" + std::string(arguments[i]) + "\"");
    words.push_back(arguments[i]);
  }
  if (words.empty()) throw Error("token needs add, sxcu, list or revoke");
  command.action = words[0];
  if (command.action != "add" && command.action != "sxcu" && command.action != "list" &&
      command.action != "revoke")
    throw Error("unknown token command \"" + command.action + "\"");
  if (command.action == "sxcu") {
    if (words.size() != 3) throw Error("token sxcu takes a NAME and a FILE");
    command.shareXFile = words[2];
    words.pop_back();
  }
  std::size_t wanted = command.action == "list" ? 1 : 2;
  if (words.size() != wanted)
    throw Error("token " + command.action + (wanted == 2 ? " takes one NAME" : " takes no NAME"));
  if (command.action != "add" && command.action != "sxcu" &&
      !(command.shareXFile.empty() && command.publicUrl.empty()))
    throw Error("--sxcu and --public-url go with token add and token sxcu");
  if (!command.shareXFile.empty() && command.publicUrl.empty())
    throw Error("a ShareX uploader needs --public-url, the address its users reach the service at");
  if (command.shareXFile.empty() && !command.publicUrl.empty()) throw Error("--public-url goes with --sxcu");
  if (command.shareXFile.empty() && !command.link.empty()) throw Error("--link goes with --sxcu");
  if (wanted == 2) {
    command.name = words[1];
    if (!isValidTokenName(command.name))
      throw Error("\"" + command.name +
                  "\" is not a token name: 1 to 64 letters, digits, '.', '_', '-' or '@'");
  }
  requireOneStore(command.store, "token");
  return command;
}

// The token of an existing name, which the store keeps only as a hash: the
// operator gives it on standard input, and it must be that name's.
std::string tokenFromInput(TokenStore& store, const std::string& name) {
  char line[256] = {};
  if (!std::fgets(line, sizeof line, stdin)) throw Error("no token on standard input");
  std::string token(line);
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  auto names = store.byHash();
  auto found = names.find(tokenHash(token));
  if (found == names.end() || found->second != name)
    throw Error("the token on standard input is not \"" + name + "\"'s");
  return token;
}

void writeShareXUploader(const TokenCommand& command, const std::string& token) {
  writePrivateFile(command.shareXFile,
                   shareXUploader(command.publicUrl, command.name, token, command.link == "page"));
  std::printf("ShareX custom uploader for \"%s\" written to %s (it holds the token: keep it private).\n",
              command.name.c_str(), command.shareXFile.c_str());
  if (std::string warning = clearTextWarning(command.publicUrl); !warning.empty())
    std::fprintf(stderr, "%s\n", warning.c_str());
}

int run(const TokenCommand& command) {
  auto store = std::move(openStores(command.store.dataDirectory, command.store.database).tokens);
  if (command.action == "add") {
    std::string token = newUploadToken();
    store->add(command.name, tokenHash(token));
    if (!command.shareXFile.empty()) {
      try {
        writeShareXUploader(command, token);
      } catch (...) {
        store->revoke(command.name); // nothing half done
        throw;
      }
    }
    std::printf(
        "Token \"%s\" added. It is shown only now; Glimor takes it as [Service] Token= in Glimor.ini,\n"
        "other clients as the line \"Authorization: Bearer TOKEN\":\n%s\n",
        command.name.c_str(), token.c_str());
  } else if (command.action == "sxcu") {
    writeShareXUploader(command, tokenFromInput(*store, command.name));
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
