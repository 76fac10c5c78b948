#include "net/uploader_request.h"

#include "net/json_reader.h"
#include "net/upload_request.h"
#include "platform/paths.h"

#include <algorithm>

namespace glimor::net {
namespace {

void append(std::vector<std::uint8_t>& body, std::string_view text) {
  body.insert(body.end(), text.begin(), text.end());
}

} // namespace

std::string percentEncoded(std::string_view text) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~')
      out += c;
    else
      out += {'%', hex[byte >> 4], hex[byte & 15]};
  }
  return out;
}

UploaderRequest buildUploaderRequest(const UploaderFile& uploader, std::string_view filePath,
                                     std::span<const std::uint8_t> file) {
  // A control character in the name would break a header line.
  std::string fileName = paths::fileNameOf(filePath);
  for (char& c : fileName)
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = '_';
  std::string extension = paths::extensionOf(filePath);
  if (!extension.empty()) extension.erase(0, 1);
  const http::AnswerHead noAnswer;
  // In the URL the name is percent-encoded, so no space reaches the request line.
  const TemplateSource forUrl({}, noAnswer, percentEncoded(fileName));
  const TemplateSource source({}, noAnswer, fileName);

  UploaderRequest request;
  request.url = uploader.requestUrlTemplate.resolve(forUrl);
  if (!uploader.parameters.empty()) {
    const std::size_t hash = request.url.find('#');
    std::string fragment = hash == std::string::npos ? std::string() : request.url.substr(hash);
    request.url.resize(std::min(hash, request.url.size()));
    char joint = request.url.find('?') == std::string::npos ? '?' : '&';
    for (const auto& [name, value] : uploader.parameters) {
      request.url += joint + percentEncoded(name) + "=" + percentEncoded(value.resolve(source));
      joint = '&';
    }
    request.url += fragment;
  }
  request.shape.method = uploader.method;
  for (const auto& [name, value] : uploader.headers)
    request.shape.headers.emplace_back(name, value.resolve(source));

  switch (uploader.body) {
  case UploaderFile::Body::None:
    request.shape.contentType = "";
    break;
  case UploaderFile::Body::Binary:
    request.shape.contentType = mediaTypeOf(extension);
    request.body.assign(file.begin(), file.end());
    break;
  case UploaderFile::Body::FormUrlEncoded: {
    request.shape.contentType = "application/x-www-form-urlencoded";
    std::string form;
    for (const auto& [name, value] : uploader.arguments)
      form += (form.empty() ? "" : "&") + percentEncoded(name) + "=" + percentEncoded(value.resolve(source));
    append(request.body, form);
    break;
  }
  case UploaderFile::Body::Json: {
    request.shape.contentType = "application/json";
    std::string object = "{";
    for (const auto& [name, value] : uploader.arguments)
      object += (object.size() > 1 ? "," : "") + jsonQuoted(name) + ":" + jsonQuoted(value.resolve(source));
    append(request.body, object + "}");
    break;
  }
  case UploaderFile::Body::MultipartFormData: {
    request.shape.contentType = "multipart/form-data; boundary=" + std::string(uploadBoundary);
    const std::string delimiter = "--" + std::string(uploadBoundary) + "\r\n";
    for (const auto& [name, value] : uploader.arguments)
      append(request.body, delimiter + "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                               value.resolve(source) + "\r\n");
    // A quote or a line break in the name would end the header line early.
    std::string quotedName = fileName;
    std::replace(quotedName.begin(), quotedName.end(), '"', '_');
    append(request.body, delimiter + "Content-Disposition: form-data; name=\"" + uploader.fileFormName +
                             "\"; filename=\"" + quotedName +
                             "\"\r\nContent-Type: " + mediaTypeOf(extension) + "\r\n\r\n");
    request.body.insert(request.body.end(), file.begin(), file.end());
    append(request.body, "\r\n--" + std::string(uploadBoundary) + "--\r\n");
    break;
  }
  }
  return request;
}

} // namespace glimor::net
