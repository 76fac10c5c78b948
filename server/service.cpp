#include "service.h"

#include "platform/error.h"

namespace glimor::server {
namespace {

std::filesystem::path createdDataFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Error("Cannot create the data folder \"" + folder + "\": " + error.message());
  return folder;
}

} // namespace

Service::Service(const Config& configuration)
    : config(configuration), images(createdDataFolder(configuration.dataDirectory)),
      feedback(configuration.dataDirectory), updates(configuration.updatesDirectory) {}

} // namespace glimor::server
