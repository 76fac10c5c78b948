#include "multipart.h"

#include "platform/ascii_case.h"
#include "refusal.h"

#include <algorithm>
#include <cctype>

namespace glimor::server {
namespace {

constexpr std::size_t maxParts = 16;
constexpr std::size_t maxPartHeaderBytes = 8192;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

struct Parameter {
  std::string name;
  std::string value;
};

// Parameters after the first ';' of a header value: name=token or name="text".
// A quoted value runs to the next double quote; a backslash is kept as it is,
// because the program sends Windows paths unescaped.
std::vector<Parameter> parametersOf(std::string_view value) {
  std::vector<Parameter> parameters;
  std::size_t semicolon = value.find(';');
  if (semicolon == std::string_view::npos) return parameters;
  std::string_view rest = value.substr(semicolon + 1);
  while (true) {
    rest = trim(rest);
    if (rest.empty()) break;
    std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos) throw Refusal(400, "Malformed header parameter");
    Parameter parameter{ascii::lowered(trim(rest.substr(0, equals))), {}};
    rest = trim(rest.substr(equals + 1));
    if (rest.starts_with('"')) {
      std::size_t close = rest.find('"', 1);
      if (close == std::string_view::npos) throw Refusal(400, "Unterminated quoted header parameter");
      parameter.value = rest.substr(1, close - 1);
      rest = rest.substr(close + 1);
      rest = trim(rest);
      if (!rest.empty() && !rest.starts_with(';')) throw Refusal(400, "Malformed header parameter");
    } else {
      std::size_t end = rest.find(';');
      parameter.value = trim(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    }
    if (!rest.empty()) rest.remove_prefix(1);
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

const Parameter* findParameter(const std::vector<Parameter>& parameters, std::string_view name) {
  for (const Parameter& parameter : parameters)
    if (parameter.name == name) return &parameter;
  return nullptr;
}

// RFC 2046: 1 to 70 characters from a restricted set, not ending in a space.
bool isUsableBoundary(std::string_view boundary) {
  static constexpr std::string_view allowed = "'()+_,-./:=? ";
  if (boundary.empty() || boundary.size() > 70 || boundary.back() == ' ') return false;
  return std::all_of(boundary.begin(), boundary.end(), [](unsigned char c) {
    return std::isalnum(c) || allowed.find(static_cast<char>(c)) != std::string_view::npos;
  });
}

void readPartHeaders(std::string_view headerBlock, MultipartPart& part) {
  bool sawDisposition = false;
  while (!headerBlock.empty()) {
    std::size_t end = headerBlock.find("\r\n");
    std::string_view line = headerBlock.substr(0, end);
    headerBlock = end == std::string_view::npos ? std::string_view{} : headerBlock.substr(end + 2);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) throw Refusal(400, "Malformed part header");
    std::string_view name = line.substr(0, colon);
    std::string_view value = trim(line.substr(colon + 1));
    if (ascii::equalsIgnoringCase(name, "Content-Disposition")) {
      if (sawDisposition) throw Refusal(400, "Repeated Content-Disposition in a part");
      sawDisposition = true;
      if (!ascii::equalsIgnoringCase(trim(value.substr(0, value.find(';'))), "form-data"))
        throw Refusal(400, "Part is not form-data");
      auto parameters = parametersOf(value);
      const Parameter* fieldName = findParameter(parameters, "name");
      if (!fieldName) throw Refusal(400, "Part without a name");
      part.name = fieldName->value;
      if (const Parameter* fileName = findParameter(parameters, "filename")) part.fileName = fileName->value;
    } else if (ascii::equalsIgnoringCase(name, "Content-Type")) {
      part.contentType = value;
    }
  }
  if (!sawDisposition) throw Refusal(400, "Part without Content-Disposition");
}

} // namespace

std::string boundaryOfContentType(std::string_view contentType) {
  std::string_view mediaType = trim(contentType.substr(0, contentType.find(';')));
  if (!ascii::equalsIgnoringCase(mediaType, "multipart/form-data"))
    throw Refusal(415, "Upload must be multipart/form-data");
  auto parameters = parametersOf(contentType);
  const Parameter* boundary = findParameter(parameters, "boundary");
  if (!boundary) throw Refusal(400, "Content-Type has no boundary");
  if (!isUsableBoundary(boundary->value)) throw Refusal(400, "Content-Type has an invalid boundary");
  return boundary->value;
}

std::vector<MultipartPart> parseMultipart(std::string_view body, std::string_view boundary) {
  const std::string firstDelimiter = "--" + std::string(boundary);
  const std::string delimiter = "\r\n" + firstDelimiter;
  if (!body.starts_with(firstDelimiter)) throw Refusal(400, "Body does not start with the boundary");
  std::string_view rest = body.substr(firstDelimiter.size());

  std::vector<MultipartPart> parts;
  while (true) {
    // After a delimiter: "--" closes the body, CR LF opens the next part.
    if (rest.starts_with("--")) break;
    if (!rest.starts_with("\r\n")) throw Refusal(400, "Malformed multipart delimiter");
    rest.remove_prefix(2);
    if (parts.size() == maxParts) throw Refusal(400, "Too many parts in the upload");

    std::size_t headerEnd = rest.find("\r\n\r\n");
    // A part without header lines starts directly with the empty line.
    std::string_view headerBlock;
    if (rest.starts_with("\r\n")) {
      rest.remove_prefix(2);
    } else {
      if (headerEnd == std::string_view::npos) throw Refusal(400, "Truncated multipart body");
      if (headerEnd > maxPartHeaderBytes) throw Refusal(400, "Part header too large");
      headerBlock = rest.substr(0, headerEnd);
      rest.remove_prefix(headerEnd + 4);
    }
    MultipartPart part;
    readPartHeaders(headerBlock, part);

    std::size_t contentEnd = rest.find(delimiter);
    if (contentEnd == std::string_view::npos) throw Refusal(400, "Truncated multipart body");
    part.content = rest.substr(0, contentEnd);
    rest.remove_prefix(contentEnd + delimiter.size());
    parts.push_back(std::move(part));
  }
  if (parts.empty()) throw Refusal(400, "Multipart body has no parts");
  return parts;
}

} // namespace glimor::server
