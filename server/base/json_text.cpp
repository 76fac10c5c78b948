#include "json_text.h"

#include "platform/ascii_case.h"

namespace glimor::server {

std::string jsonString(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte >= 0x7f) {
      quoted += "\\u00";
      quoted += hex[byte >> 4];
      quoted += hex[byte & 15];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Whether a media range's parameters leave it wanted: any q but 0 (0.0, 0.000).
bool wanted(std::string_view parameters) {
  while (!parameters.empty()) {
    std::size_t semicolon = parameters.find(';');
    std::string_view parameter = trimmed(parameters.substr(0, semicolon));
    if (ascii::startsWithIgnoringCase(parameter, "q="))
      return parameter.find_first_of("123456789", 2) != std::string_view::npos;
    if (semicolon == std::string_view::npos) break;
    parameters.remove_prefix(semicolon + 1);
  }
  return true;
}

} // namespace

bool wantsJson(std::string_view accept) {
  while (!accept.empty()) {
    std::size_t comma = accept.find(',');
    std::string_view range = accept.substr(0, comma);
    std::size_t semicolon = range.find(';');
    if (ascii::equalsIgnoringCase(trimmed(range.substr(0, semicolon)), "application/json") &&
        (semicolon == std::string_view::npos || wanted(range.substr(semicolon + 1))))
      return true;
    if (comma == std::string_view::npos) break;
    accept.remove_prefix(comma + 1);
  }
  return false;
}

Response jsonErrorResponse(int status, const std::string& reason) {
  Response response;
  response.status = status;
  response.reason = reason;
  response.contentType = "application/json";
  response.body = "{\"error\": " + jsonString(reason) + "}\n";
  return response;
}

} // namespace glimor::server
