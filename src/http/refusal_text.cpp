#include "http/refusal_text.h"

#include "http/answer_head.h"

#include <algorithm>

namespace glimor::http {
namespace {

// Short, one line, no control character (terminal escapes included) and no markup.
bool isPlainText(std::string_view text) {
  return !text.empty() && text.size() <= refusalTextLimit && text.front() != '<' &&
         std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
}

} // namespace

std::string refusalText(std::string_view statusLine, std::string_view bodyStart) {
  std::string_view firstLine = trimBlanks(bodyStart.substr(0, bodyStart.find_first_of("\r\n")));
  if (isPlainText(firstLine)) return std::string(firstLine);
  // "HTTP/1.1 429 Too many uploads, try again in 30 s": the words after the code.
  std::size_t code = statusLine.find(' ');
  std::size_t reason = code == std::string_view::npos ? code : statusLine.find(' ', code + 1);
  if (reason != std::string_view::npos) {
    std::string_view phrase = trimBlanks(statusLine.substr(reason + 1));
    if (isPlainText(phrase)) return std::string(phrase);
  }
  return std::string(statusLine);
}

} // namespace glimor::http
