#include "net/uploader_file.h"

#include "net/web_link.h"
#include "platform/ascii_case.h"
#include "platform/error.h"

#include <algorithm>
#include <array>

namespace glimor::net {
namespace {

// Header names are HTTP tokens; Glimor writes the lines that frame the request itself.
bool isHeaderName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
  });
}

const std::string& textOf(const JsonValue& value, const std::string& what) {
  if (value.kind != JsonValue::Kind::String) throw Error(what + " is not a text.");
  return value.text;
}

AnswerTemplate templateOf(const JsonValue& value, const std::string& what, AnswerTemplate::Side side) {
  const std::string& text = textOf(value, what);
  try {
    return AnswerTemplate(text, side);
  } catch (const Error& error) {
    throw Error(what + ": " + error.what());
  }
}

UploaderFile::Fields fieldsOf(const JsonValue& value, const std::string& what) {
  if (value.kind != JsonValue::Kind::Object) throw Error(what + " is not a JSON object.");
  UploaderFile::Fields fields;
  for (const auto& [name, text] : value.members)
    fields.emplace_back(name, templateOf(text, what + " \"" + name + "\"", AnswerTemplate::Side::Request));
  return fields;
}

void checkHeaders(const JsonValue& headers) {
  for (const auto& [name, value] : headers.members) {
    if (!isHeaderName(name)) throw Error("Headers: \"" + name + "\" is not a header name.");
    for (std::string_view framing : {"Host", "Content-Length", "Transfer-Encoding", "Connection"})
      if (ascii::equalsIgnoringCase(name, framing))
        throw Error("Headers: \"" + name + "\" is written by Glimor itself.");
    if (value.kind == JsonValue::Kind::String &&
        std::any_of(value.text.begin(), value.text.end(), [](char c) {
          return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f';
        }))
      throw Error("Headers: the value of \"" + name + "\" holds a line break or a control character.");
  }
}

UploaderFile::Body bodyOf(const std::string& text) {
  constexpr std::array<std::pair<std::string_view, UploaderFile::Body>, 5> bodies = {{
      {"MultipartFormData", UploaderFile::Body::MultipartFormData},
      {"Binary", UploaderFile::Body::Binary},
      {"FormURLEncoded", UploaderFile::Body::FormUrlEncoded},
      {"JSON", UploaderFile::Body::Json},
      {"None", UploaderFile::Body::None},
  }};
  for (auto [name, body] : bodies)
    if (ascii::equalsIgnoringCase(text, name)) return body;
  throw Error("Body \"" + text + "\" is not one of MultipartFormData, Binary, FormURLEncoded, JSON, None.");
}

} // namespace

UploaderFile parseUploaderFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > uploaderFileLimit)
    throw Error("It is larger than " + std::to_string(uploaderFileLimit) + " bytes.");
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // editors on Windows write a BOM
  const JsonValue root = parseJson(text);
  if (root.kind != JsonValue::Kind::Object) throw Error("It is not a JSON object.");

  UploaderFile file;
  const JsonValue* requestUrl = root.member("RequestURL");
  if (!requestUrl || (requestUrl->kind == JsonValue::Kind::String && requestUrl->text.empty()))
    throw Error("It has no RequestURL.");
  file.requestUrl = textOf(*requestUrl, "RequestURL");
  file.requestUrlTemplate = templateOf(*requestUrl, "RequestURL", AnswerTemplate::Side::Request);
  // Checked with a file name in place, as it is sent: no space or control character may reach
  // the request line.
  const std::string sampleUrl = file.requestUrlTemplate.resolve(TemplateSource({}, {}, "a.png"));
  if (!isWebLink(sampleUrl))
    throw Error("RequestURL \"" + file.requestUrl + "\" is not an http or https address.");

  if (const JsonValue* name = root.member("Name")) file.name = textOf(*name, "Name");
  if (const JsonValue* method = root.member("RequestMethod")) {
    file.method = textOf(*method, "RequestMethod");
    std::transform(file.method.begin(), file.method.end(), file.method.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    if (file.method != "POST" && file.method != "PUT")
      throw Error("RequestMethod \"" + method->text + "\" is not one of POST, PUT.");
  }
  if (const JsonValue* parameters = root.member("Parameters"))
    file.parameters = fieldsOf(*parameters, "Parameters");
  if (const JsonValue* headers = root.member("Headers")) {
    file.headers = fieldsOf(*headers, "Headers");
    checkHeaders(*headers);
  }
  if (const JsonValue* body = root.member("Body")) file.body = bodyOf(textOf(*body, "Body"));
  if (const JsonValue* arguments = root.member("Arguments"))
    file.arguments = fieldsOf(*arguments, "Arguments");
  if (const JsonValue* formName = root.member("FileFormName"))
    file.fileFormName = textOf(*formName, "FileFormName");
  if (file.body == UploaderFile::Body::MultipartFormData && file.fileFormName.empty())
    throw Error("It has no FileFormName, which a MultipartFormData body needs.");
  if (std::any_of(file.fileFormName.begin(), file.fileFormName.end(),
                  [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; }))
    throw Error("FileFormName holds a quote or a control character.");
  for (const auto& [name, value] : file.arguments)
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; }))
      throw Error("Arguments: \"" + name + "\" holds a quote or a control character.");

  const std::pair<const char*, AnswerTemplate*> answers[] = {{"URL", &file.url},
                                                             {"ThumbnailURL", &file.thumbnailUrl},
                                                             {"DeletionURL", &file.deletionUrl},
                                                             {"ErrorMessage", &file.errorMessage}};
  for (auto [key, answer] : answers)
    if (const JsonValue* value = root.member(key))
      *answer = templateOf(*value, key, AnswerTemplate::Side::Answer);
  // A service that answers with the link alone needs no URL.
  if (file.url.empty()) file.url = AnswerTemplate("{response}", AnswerTemplate::Side::Answer);
  for (const char* informational : {"Version", "DestinationType"})
    if (const JsonValue* value = root.member(informational); value && value->kind != JsonValue::Kind::String)
      throw Error(std::string(informational) + " is not a text.");
  return file;
}

UploaderFile readUploaderFile(platform::Files& files, const std::string& path) {
  std::optional<platform::Bytes> bytes = files.readAtMost(path, uploaderFileLimit + 1);
  if (!bytes) throw Error("Cannot open the uploader file \"" + path + "\".");
  try {
    return parseUploaderFile(*bytes);
  } catch (const Error& error) {
    throw Error("Uploader file \"" + path + "\": " + error.what());
  }
}

} // namespace glimor::net
