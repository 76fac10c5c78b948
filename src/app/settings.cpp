#include "app/settings.h"

#include "http/bearer_token.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "platform/paths.h"

#include <charconv>
#include <cstdint>

namespace glimor::app {

namespace {
const std::string options = "Options";
constexpr std::size_t maxTextLength = 2047;
} // namespace

std::optional<int> Settings::parseInteger(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint32_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (base == 16) return static_cast<int>(magnitude); // eight hex digits wrap as 32-bit values do
  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<int>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 2147483647u) return std::nullopt;
  return static_cast<int>(magnitude);
}

int Settings::readInteger(const std::string& key, int fallback) {
  std::optional<std::string> text = profile_.read(options, key);
  if (!text) return fallback;
  return parseInteger(*text).value_or(fallback);
}

bool Settings::readBool(const std::string& key, bool fallback) {
  return readInteger(key, fallback ? 1 : 0) != 0;
}

std::string Settings::readString(const std::string& key, const std::string& fallback) {
  std::optional<std::string> text = profile_.read(options, key);
  if (!text) return fallback;
  if (text->size() > maxTextLength) text->resize(maxTextLength);
  return *text;
}

void Settings::writeString(const std::string& key, const std::string& value) {
  if (!profile_.write(options, key, value)) throw Error("Unable to write to " + profile_.path());
}

void Settings::writeInteger(const std::string& key, int value) {
  writeString(key, std::to_string(value));
}

void Settings::writeBool(const std::string& key, bool value) {
  writeString(key, value ? "1" : "0");
}

std::string Settings::serviceHost() {
  std::optional<std::string> host = profile_.read("Service", "Host");
  if (!host || host->empty()) return "localhost:8080";
  if (host->size() > maxTextLength) host->resize(maxTextLength);
  return *host;
}

std::string Settings::serviceCaCertificate(const std::string& programFolder) {
  std::optional<std::string> path = profile_.read("Service", "CACertificate");
  if (!path || path->empty()) return {};
  if (path->size() > maxTextLength) path->resize(maxTextLength);
  return paths::resolveIn(programFolder, *path);
}

std::string Settings::serviceUploader(const std::string& programFolder) {
  std::optional<std::string> path = profile_.read("Service", "Uploader");
  if (!path || path->empty()) return {};
  if (path->size() > maxTextLength) path->resize(maxTextLength);
  return paths::resolveIn(programFolder, *path);
}

void Settings::setServiceUploader(const std::string& path) {
  if (path.size() > maxTextLength)
    throw Error("The uploader file's path may be at most 2047 characters long; it was not saved.");
  if (!profile_.write("Service", "Uploader", path)) throw Error("Unable to write to " + profile_.path());
}

bool Settings::servicePageLink() {
  std::optional<std::string> link = profile_.read("Service", "Link");
  if (!link || link->empty() || ascii::equalsIgnoringCase(*link, "Direct")) return false;
  if (ascii::equalsIgnoringCase(*link, "Page")) return true;
  throw Error("Glimor.ini: [Service] Link is \"" + link->substr(0, 40) +
              "\"; it may be Page (copy the upload's page) or Direct (copy the image's link).");
}

std::string Settings::serviceToken() {
  // Taken as it is written: a token that cannot go on the wire is refused when it would be sent.
  std::optional<std::string> token = profile_.read("Service", "Token");
  if (!token) return {};
  if (token->size() > maxTextLength) token->resize(maxTextLength);
  return *token;
}

void Settings::setServiceToken(const std::string& token) {
  if (token.size() > maxTextLength)
    throw Error("The upload token may be at most 2047 characters long; it was not saved.");
  if (!token.empty() && !http::isToken68(token))
    throw Error("The upload token may hold only letters, digits and - . _ ~ + / (with = only at its end); "
                "it was not saved.");
  if (!profile_.write("Service", "Token", token)) throw Error("Unable to write to " + profile_.path());
}

std::string Settings::updatePublicKey(std::string_view builtIn) {
  // A value that is there is used as it is, so a wrong one is reported and never replaced by the build's.
  std::optional<std::string> key = profile_.read("Update", "PublicKey");
  return key ? *key : std::string(builtIn);
}

} // namespace glimor::app
