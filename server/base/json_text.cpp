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

bool wantsJson(std::string_view accept) {
  for (std::size_t at = 0; at + 16 <= accept.size(); ++at)
    if (ascii::startsWithIgnoringCase(accept.substr(at), "application/json")) return true;
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
