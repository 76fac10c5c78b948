#include "net/upload_target.h"

#include "net/endpoints.h"
#include "net/uploader_file.h"
#include "platform/paths.h"

namespace glimor::net {

void UploadTarget::show() {
  const ServiceSettings settings = settings_();
  if (settings.uploaderFile.empty())
    return view_.showUploadTarget(std::string(uploadToLabel) + "the image service at " + settings.host,
                                  ServiceEndpoints(settings.host).baseUrl());
  const std::string fileName = paths::fileNameOf(settings.uploaderFile);
  std::string destination;
  try {
    const UploaderFile uploader = readUploaderFile(files_, settings.uploaderFile);
    destination = uploader.name.empty() ? fileName : uploader.name + " (" + fileName + ")";
  } catch (const std::exception&) {
    // The reason is told in full when an upload tries it.
    destination = fileName + " (cannot be used)";
  }
  view_.showUploadTarget(std::string(uploadToLabel) + destination, destination);
}

void UploadTarget::choose(const std::string& path) {
  if (!path.empty()) readUploaderFile(files_, path);
  store_(path);
  show();
}

} // namespace glimor::net
