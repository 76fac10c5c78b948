#include "sharex_uploader.h"

#include "json_text.h"
#include "platform/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace glimor::server {

std::string shareXUploader(std::string_view publicUrl, std::string_view tokenName, std::string_view token,
                           bool pageLink) {
  std::string host(publicUrl.substr(publicUrl.find("//") + 2));
  return "{\n"
         "  \"Version\": \"15.0.0\",\n"
         "  \"Name\": " +
         jsonString("glimor-server " + host + " (" + std::string(tokenName) + ")") +
         ",\n"
         "  \"DestinationType\": \"ImageUploader\",\n"
         "  \"RequestMethod\": \"POST\",\n"
         "  \"RequestURL\": " +
         jsonString(std::string(publicUrl) + "/guestglimor.php") +
         ",\n"
         "  \"Headers\": {\n"
         "    \"Authorization\": " +
         jsonString("Bearer " + std::string(token)) +
         ",\n"
         "    \"Accept\": \"application/json\"\n"
         "  },\n"
         "  \"Body\": \"MultipartFormData\",\n"
         "  \"FileFormName\": \"file\",\n"
         "  \"URL\": \"{json:" +
         std::string(pageLink ? "page_url" : "url") +
         "}\",\n"
         "  \"ThumbnailURL\": \"{json:thumbnail_url}\",\n"
         "  \"DeletionURL\": \"{json:delete_url}\",\n"
         "  \"ErrorMessage\": \"{json:error}\"\n"
         "}\n";
}

std::string clearTextWarning(std::string_view publicUrl) {
  if (!publicUrl.starts_with("http://")) return "";
  return "warning: --public-url is http://, so ShareX sends the token in clear with every upload: anyone "
         "on the way can read it and upload with it. Give an https:// address (--tls-cert, or a web "
         "server in front).";
}

void writePrivateFile(const std::filesystem::path& path, std::string_view contents) {
  auto fail = [&](int error) {
    throw Error("Cannot write \"" + path.string() + "\": " + std::strerror(error));
  };
  // Written beside the target and renamed over it, so a reader never sees half
  // a file, and made 0600 from the start, so the token is never readable by others.
  std::filesystem::path part = path;
  part += ".part";
  int file = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (file < 0) fail(errno);
  std::size_t written = 0;
  while (written < contents.size()) {
    ssize_t n = ::write(file, contents.data() + written, contents.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = errno;
      ::close(file);
      ::unlink(part.c_str());
      fail(error);
    }
    written += std::size_t(n);
  }
  int error = ::fsync(file) == 0 ? 0 : errno;
  if (::close(file) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(part.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(part.c_str());
    fail(error);
  }
}

} // namespace glimor::server
