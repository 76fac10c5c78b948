#include "app/settings.h"

#include "http/bearer_token.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace glimor::app {

namespace ini = platform::ini;

std::string Settings::serviceHost() {
  std::string host = ini::read(profile_, ini::serviceHost);
  return host.empty() ? std::string(ini::serviceHost.fallback) : host;
}

std::string Settings::serviceCaCertificate(const std::string& programFolder) {
  std::string path = ini::read(profile_, ini::caCertificate);
  return path.empty() ? path : paths::resolveIn(programFolder, path);
}

std::string Settings::serviceUploader(const std::string& programFolder) {
  std::string path = ini::read(profile_, ini::uploader);
  return path.empty() ? path : paths::resolveIn(programFolder, path);
}

void Settings::setServiceUploader(const std::string& path) {
  if (path.size() > ini::maxTextLength)
    throw Error("The uploader file's path may be at most 2047 characters long; it was not saved.");
  ini::write(profile_, ini::uploader, path);
}

bool Settings::servicePageLink() {
  const std::string link = ini::read(profile_, ini::link);
  if (link.empty() || ascii::equalsIgnoringCase(link, "Direct")) return false;
  if (ascii::equalsIgnoringCase(link, "Page")) return true;
  throw Error("Glimor.ini: [Service] Link is \"" + link.substr(0, 40) +
              "\"; it may be Page (copy the upload's page) or Direct (copy the image's link).");
}

std::string Settings::serviceToken() {
  // Taken as it is written: a token that cannot go on the wire is refused when it would be sent.
  return ini::read(profile_, ini::token);
}

void Settings::setServiceToken(const std::string& token) {
  if (token.size() > ini::maxTextLength)
    throw Error("The upload token may be at most 2047 characters long; it was not saved.");
  if (!token.empty() && !http::isToken68(token))
    throw Error("The upload token may hold only letters, digits and - . _ ~ + / (with = only at its end); "
                "it was not saved.");
  ini::write(profile_, ini::token, token);
}

std::string Settings::updatePublicKey(std::string_view builtIn) {
  // A value that is there is used as it is, so a wrong one is reported and never replaced by the build's.
  std::optional<std::string> key = ini::readIfPresent(profile_, ini::updatePublicKey);
  return key ? *key : std::string(builtIn);
}

} // namespace glimor::app
