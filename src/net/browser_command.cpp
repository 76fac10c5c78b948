#include "net/browser_command.h"

#include "net/field_after.h"

#include <algorithm>

namespace glimor::net {
namespace {

bool isControl(char c) {
  return static_cast<unsigned char>(c) < ' ' || c == '\x7f';
}

// One argument as Windows programs split their command line: in double quotes, with the
// backslashes just before the closing quote doubled so that they do not escape it.
std::string quotedArgument(std::string_view text) {
  std::size_t kept = text.find_last_not_of('\\');
  std::size_t trailing = kept == std::string_view::npos ? text.size() : text.size() - kept - 1;
  std::string quoted = "\"";
  quoted.append(text).append(trailing, '\\').push_back('"');
  return quoted;
}

} // namespace

BrowserStart browserStart(std::string_view browserCommand, std::string_view link) {
  std::string command(browserCommand);
  std::erase(command, '"');
  BrowserStart start;
  start.programPath = fieldAfter(command, 1, ".exe") + ".exe";
  start.commandLine = fieldAfter(command, 2, ".exe") + " " + quotedArgument(link);
  return start;
}

bool isServiceLink(std::string_view link, std::string_view baseUrl) {
  if (std::any_of(link.begin(), link.end(), [](char c) { return c == '"' || isControl(c); })) return false;
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!link.empty() && blank(link.front())) link.remove_prefix(1);
  while (!link.empty() && blank(link.back())) link.remove_suffix(1);
  return link.starts_with(baseUrl);
}

} // namespace glimor::net
