#include "admin_command.h"

#include "image_id.h"
#include "platform/error.h"
#include "s3_image_store.h"
#include "store_command.h"
#include "store_opening.h"
#include "utc_time.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace glimor::server {
namespace {

constexpr std::string_view adminUsage =
    "usage: glimor-server admin list [--address A | --token NAME] STORE\n"
    "       glimor-server admin purge (--address A | --token NAME) [--since TIME] STORE\n"
    "       glimor-server admin delete ID STORE\n"
    "       glimor-server admin feedback STORE\n"
    "       glimor-server admin delete-feedback NUMBER STORE\n"
    "       glimor-server admin fsck [--repair] [--older-than SECONDS] STORE --s3 ... --s3-bucket NAME\n"
    "STORE: --data DIR or --database postgresql://..., with --s3 ENDPOINT --s3-bucket NAME where the\n"
    "       images are in a bucket\n"
    "fsck:  lists records whose object is missing and objects older than SECONDS (3600) that no record\n"
    "       names; --repair removes both (a record without its bytes can never be served)\n"
    "TIME:  UTC, 2026-12-09T13:00:00Z or 2026-12-09 (midnight); purge removes the images stored since then\n";

struct AdminRequest {
  std::string action;
  std::optional<std::string> imageId;
  StoreLocation store;
  ImageQuery query;
  bool since = false;
  bool repair = false;
  std::int64_t graceSeconds = 3600;
};

AdminRequest parseAdmin(std::span<const std::string_view> arguments) {
  if (arguments.empty()) throw Error("admin needs list, purge, delete, feedback, delete-feedback or fsck");
  AdminRequest request;
  request.action = arguments[0];
  if (request.action != "list" && request.action != "purge" && request.action != "delete" &&
      request.action != "feedback" && request.action != "delete-feedback" && request.action != "fsck")
    throw Error("admin: unknown command \"" + request.action + "\"");
  bool takesId = request.action == "delete" || request.action == "delete-feedback";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string_view flag = arguments[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        throw Error(std::string(flag) + " needs a value");
      return std::string(arguments[++i]);
    };
    if (takeStoreFlag(arguments, i, request.store)) {
      continue;
    } else if (flag == "--address") {
      request.query.clientAddress = value();
    } else if (flag == "--token") {
      request.query.tokenName = value();
    } else if (flag == "--since") {
      std::string text = value();
      auto since = parseUtc(text);
      if (!since) throw Error("--since: \"" + text + "\" is not 2026-12-09T13:00:00Z or 2026-12-09 (UTC)");
      request.query.createdFrom = *since;
      request.since = true;
    } else if (flag == "--repair" && request.action == "fsck") {
      request.repair = true;
    } else if (flag == "--older-than" && request.action == "fsck") {
      std::string text = value();
      char* end = nullptr;
      long long seconds = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || seconds < 0 || seconds > 365ll * 86400)
        throw Error("--older-than: \"" + text + "\" is not a number of seconds");
      request.graceSeconds = seconds;
    } else if (takesId && !flag.starts_with("--") && !request.imageId) {
      request.imageId = flag;
    } else {
      throw Error("admin " + request.action + ": unexpected argument \"" + std::string(flag) + "\"");
    }
  }
  requireOneStore(request.store, "admin " + request.action);
  bool filtered = request.query.clientAddress || request.query.tokenName;
  if (request.query.clientAddress && request.query.tokenName)
    throw Error("--address and --token exclude each other");
  if (takesId && (filtered || request.since)) throw Error("admin " + request.action + " takes an id only");
  if (takesId && !request.imageId) throw Error("admin " + request.action + " needs an id");
  if (request.action == "feedback" && (filtered || request.since))
    throw Error("admin feedback lists every message, it takes no filter");
  if (request.action == "purge" && !filtered) throw Error("admin purge needs --address A or --token NAME");
  if (request.action == "list" && request.since) throw Error("--since is for admin purge");
  if (request.action == "fsck" && (filtered || request.since)) throw Error("admin fsck takes no filter");
  if (request.action == "fsck" && !request.store.s3)
    throw Error("admin fsck checks a bucket against its records: it needs --s3 and --s3-bucket");
  return request;
}

// One line per image: id.ext, upload time, size, client address, token name.
void printRecord(const char* prefix, const ImageRecord& record) {
  std::printf("%s%s.%s %s %llu bytes from %s token %s\n", prefix, record.id.c_str(),
              std::string(record.type.extension).c_str(), formatUtc(record.createdAt).c_str(),
              static_cast<unsigned long long>(record.size), record.clientAddress.c_str(),
              record.tokenName.empty() ? "-" : record.tokenName.c_str());
}

int deleteOne(ImageStore& images, const std::string& id) {
  ImageQuery byId;
  byId.id = id;
  auto records = isImageId(id) ? images.list(byId) : std::vector<ImageRecord>();
  if (!records.empty() && images.remove(id)) {
    printRecord("removed ", records.front());
    return 0;
  }
  bool gone = isImageId(id) && images.wasRemoved(id);
  std::fprintf(stderr, "glimor-server admin delete: %s %s\n", id.c_str(),
               gone ? "was deleted already" : "is no stored image");
  return 1;
}

// A client's text for the operator's terminal: control bytes, quotes and
// backslashes as \xNN, so a message cannot move the cursor or forge a line.
std::string printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

// One line per message: number, time, client address, name, e-mail, text size.
int listFeedback(FeedbackStore& feedback) {
  auto records = feedback.list();
  for (const FeedbackRecord& record : records)
    std::printf("%lld %s from %s name \"%s\" email \"%s\" %llu bytes of text\n",
                static_cast<long long>(record.id), formatUtc(record.createdAt).c_str(),
                record.clientAddress.c_str(), printable(record.name).c_str(), printable(record.email).c_str(),
                static_cast<unsigned long long>(record.textBytes));
  std::printf("%zu feedback messages listed\n", records.size());
  return 0;
}

int deleteFeedback(FeedbackStore& feedback, const std::string& number) {
  char* end = nullptr;
  long long id = std::strtoll(number.c_str(), &end, 10);
  if (number.empty() || *end != '\0' || id <= 0 || !feedback.remove(id)) {
    std::fprintf(stderr, "glimor-server admin delete-feedback: %s is no stored message\n", number.c_str());
    return 1;
  }
  std::printf("removed feedback %lld\n", id);
  return 0;
}

// Records whose object is missing, and objects no record names.
int checkBucket(S3ImageStore& images, const AdminRequest& request) {
  S3ImageStore::Check found = images.check(request.graceSeconds);
  for (const std::string& id : found.recordsWithoutObject) {
    std::printf("record without object: %s\n", id.c_str());
    if (request.repair && images.remove(id)) std::printf("removed record %s\n", id.c_str());
  }
  for (const std::string& key : found.objectsWithoutRecord) {
    std::printf("object without record: %s\n", key.c_str());
    if (request.repair) {
      images.bucket().remove(key);
      std::printf("removed object %s\n", key.c_str());
    }
  }
  std::printf("%zu records without objects, %zu objects without records%s\n",
              found.recordsWithoutObject.size(), found.objectsWithoutRecord.size(),
              request.repair ? ", all removed" : "");
  return found.recordsWithoutObject.empty() && found.objectsWithoutRecord.empty() ? 0
         : request.repair                                                         ? 0
                                                                                  : 3;
}

int run(const AdminRequest& request) {
  const StoreLocation& store = request.store;
  if (!store.database && !std::filesystem::exists(std::filesystem::path(store.dataDirectory) / "glimor.db"))
    throw Error("no glimor-server data in \"" + store.dataDirectory + "\" (no glimor.db there)");
  OpenedStores stores = openStores(store.dataDirectory, store.database, store.s3);
  ImageStore& images = *stores.images;
  if (request.action == "delete") return deleteOne(images, *request.imageId);
  if (request.action == "feedback") return listFeedback(*stores.feedback);
  if (request.action == "delete-feedback") return deleteFeedback(*stores.feedback, *request.imageId);
  if (request.action == "fsck") return checkBucket(dynamic_cast<S3ImageStore&>(images), request);
  std::size_t count = 0;
  for (const ImageRecord& record : images.list(request.query)) {
    if (request.action == "list") {
      printRecord("", record);
      ++count;
    } else if (images.remove(record.id)) {
      printRecord("removed ", record);
      ++count;
    }
  }
  std::printf("%zu images %s\n", count, request.action == "list" ? "listed" : "removed");
  return 0;
}

} // namespace

int runAdminCommand(std::span<const std::string_view> arguments) {
  return runStoreCommand("admin", adminUsage, arguments, parseAdmin, run);
}

} // namespace glimor::server
