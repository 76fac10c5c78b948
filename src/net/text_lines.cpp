#include "net/text_lines.h"

#include <algorithm>

namespace glimor::net {

std::vector<std::string> readTextLines(std::span<const std::uint8_t> bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  std::vector<std::string> lines;
  auto start = bytes.begin();
  for (auto at = start; at != end; ++at) {
    if (*at != '\r' && *at != '\n') continue;
    lines.emplace_back(start, at);
    if (*at == '\r' && at + 1 != end && at[1] == '\n') ++at;
    start = at + 1;
  }
  if (start != end) lines.emplace_back(start, end);
  return lines;
}

} // namespace glimor::net
