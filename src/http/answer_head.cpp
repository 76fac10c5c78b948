#include "http/answer_head.h"

#include "platform/ascii_case.h"

namespace glimor::http {
namespace {

// The header's value when `line` is a header named `name`.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view name) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || !ascii::equalsIgnoringCase(trimBlanks(line.substr(0, colon)), name))
    return std::nullopt;
  return trimBlanks(line.substr(colon + 1));
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::string> AnswerHead::header(std::string_view name) const {
  for (const std::string& line : headerLines)
    if (auto value = valueOf(line, name)) return std::string(*value);
  return std::nullopt;
}

std::vector<std::string> AnswerHead::headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const std::string& line : headerLines)
    if (auto value = valueOf(line, name)) values.emplace_back(*value);
  return values;
}

int statusCodeOf(std::string_view statusLine) {
  std::size_t start = statusLine.find(' ');
  if (start == std::string_view::npos) return -1;
  std::string_view rest = statusLine.substr(start + 1);
  std::string_view word = rest.substr(0, rest.find(' '));
  if (word.empty() || word.size() > 9) return -1;
  int code = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

} // namespace glimor::http
