#pragma once
#include "http/http_client.h"
#include "net/uploader_file.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// One request as an uploader file forms it.
struct UploaderRequest {
  std::string url; // the RequestURL with the Parameters added to its query
  http::RequestShape shape;
  std::vector<std::uint8_t> body;
};

// `text` with every byte but letters, digits and - . _ ~ written as %XX.
std::string percentEncoded(std::string_view text);

// The request that sends the file at `filePath` (its bytes `file`) as `uploader` says: the file as
// the form's part named FileFormName or as the raw body, typed by its extension; the Arguments as
// form fields, url-encoded fields or a JSON object. {filename} is the file's name without its folder.
UploaderRequest buildUploaderRequest(const UploaderFile& uploader, std::string_view filePath,
                                     std::span<const std::uint8_t> file);

} // namespace glimor::net
