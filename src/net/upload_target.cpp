#include "net/upload_target.h"

#include "net/uploader_file.h"
#include "platform/paths.h"

namespace glimor::net {

void UploadTarget::show() {
  const ServiceSettings settings = settings_();
  std::string text(uploadToLabel);
  if (settings.uploaderFile.empty()) {
    text += "the image service at " + settings.host;
  } else {
    const std::string fileName = paths::fileNameOf(settings.uploaderFile);
    try {
      const UploaderFile uploader = readUploaderFile(files_, settings.uploaderFile);
      text += uploader.name.empty() ? fileName : uploader.name + " (" + fileName + ")";
    } catch (const std::exception&) {
      // The reason is told in full when an upload tries it.
      text += fileName + " (cannot be used)";
    }
  }
  view_.showUploadTarget(text);
}

void UploadTarget::choose(const std::string& path) {
  if (!path.empty()) readUploaderFile(files_, path);
  store_(path);
  show();
}

} // namespace glimor::net
