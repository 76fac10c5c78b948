#pragma once
#include "net/answer_template.h"
#include "platform/files.h"

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace glimor::net {

// The largest uploader file taken.
inline constexpr std::size_t uploaderFileLimit = 64 * 1024;

// An uploader file: a JSON object that says how to send a file to some service and where in its
// answer the link is.
struct UploaderFile {
  enum class Body { None, MultipartFormData, Binary, FormUrlEncoded, Json };
  using Fields = std::vector<std::pair<std::string, AnswerTemplate>>;

  std::string name;            // how the Options page names it
  std::string method = "POST"; // POST or PUT
  std::string requestUrl;      // http or https, as written
  AnswerTemplate requestUrlTemplate;
  Fields parameters; // added to the URL's query
  Fields headers;    // sent after Glimor's own, replacing those of the same name
  Body body = Body::MultipartFormData;
  Fields arguments;         // the form's, or the JSON object's, other fields
  std::string fileFormName; // the file's part in a multipart form
  AnswerTemplate url, thumbnailUrl, deletionUrl, errorMessage;
};

// Reads an uploader file. Throws Error saying what is wrong, in one sentence: not JSON, no
// RequestURL, a URL that is not http(s), an unknown body or method, a header with a line break,
// a file larger than uploaderFileLimit, a field of a template that cannot be read.
UploaderFile parseUploaderFile(std::span<const std::uint8_t> bytes);

// The uploader file at `path`, as parseUploaderFile reads it; the message of a refusal names the
// file first ("Uploader file "<path>": ...").
UploaderFile readUploaderFile(platform::Files& files, const std::string& path);

} // namespace glimor::net
