#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::http {

// The status line and header lines of the last answer, as received (line ends removed).
struct AnswerHead {
  std::string statusLine;
  int statusCode = -1; // -1 when the status line carries no number
  std::vector<std::string> headerLines;
  bool closedInHeader = false; // the server closed the connection before the empty line

  // The value of the first header named `name` (any letter case), blanks around it removed.
  std::optional<std::string> header(std::string_view name) const;
  // The values of every header named `name`.
  std::vector<std::string> headers(std::string_view name) const;
};

// The second word of the status line (words are separated by spaces) as a decimal number, or -1.
int statusCodeOf(std::string_view statusLine);

std::string_view trimBlanks(std::string_view text);

} // namespace glimor::http
