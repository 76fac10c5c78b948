#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace glimor::server {

// A ShareX custom uploader (.sxcu) for the service at `publicUrl`
// ("https://host[:port]", no trailing slash) with the upload token `token`:
// ShareX imports it with a double click and uploads images as multipart form
// data, asking for JSON, whose url (or with `pageLink`, page_url: the upload's
// page, which chats preview), delete_url and error it reads.
std::string shareXUploader(std::string_view publicUrl, std::string_view tokenName, std::string_view token,
                           bool pageLink = false);

// What to tell the operator about an uploader for `publicUrl`: with http://
// ShareX sends the token in clear with every upload; nothing for https://.
std::string clearTextWarning(std::string_view publicUrl);

// Writes `contents` to `path` for its owner alone (0600: the file holds a
// token), replacing any file there at once. Throws Error naming the path.
void writePrivateFile(const std::filesystem::path& path, std::string_view contents);

} // namespace glimor::server
