#include "net/browser_command.h"

#include "net/extract_field.h"

#include <algorithm>

namespace glimor::net {

BrowserStart browserStart(std::string_view browserCommand, std::string_view link) {
  std::string command(browserCommand);
  std::erase(command, '"');
  BrowserStart start;
  start.programPath = ExtractField(command, 1, ".exe") + ".exe";
  start.commandLine = ExtractField(command, 2, ".exe") + " " + std::string(link);
  return start;
}

bool isServiceLink(std::string_view link, std::string_view baseUrl) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!link.empty() && blank(link.front())) link.remove_prefix(1);
  while (!link.empty() && blank(link.back())) link.remove_suffix(1);
  return link.starts_with(baseUrl);
}

} // namespace glimor::net
