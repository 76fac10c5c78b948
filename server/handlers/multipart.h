#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// One part of a multipart/form-data body. The views point into the body.
struct MultipartPart {
  std::string name;                    // the name parameter of Content-Disposition
  std::optional<std::string> fileName; // the filename parameter exactly as sent
  std::string contentType;             // empty when the part has none
  std::string_view content;
};

// The boundary parameter of a multipart/form-data Content-Type value (folded
// continuation lines arrive unfolded, so any whitespace may separate the
// parameters). Throws Refusal 415 for another media type and 400 when the
// boundary is missing or unusable.
std::string boundaryOfContentType(std::string_view contentType);

// Splits `body` into its parts. Strict: the body starts with the first
// delimiter, every part has a form-data Content-Disposition with a name, and
// the closing delimiter is present. Throws Refusal 400 naming what is wrong.
std::vector<MultipartPart> parseMultipart(std::string_view body, std::string_view boundary);

} // namespace glimor::server
