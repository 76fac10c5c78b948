#include "net/feedback_body.h"

namespace glimor::net {

std::string feedbackBody(std::string_view name, std::string_view email, int category, std::string_view text) {
  std::string body = "name=";
  body += name;
  body += "&email=";
  body += email;
  body += "&cat=" + std::to_string(category);
  body += "&text=";
  body += text;
  body += "\r\n\r\n";
  return body;
}

} // namespace glimor::net
