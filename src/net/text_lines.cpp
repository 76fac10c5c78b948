#include "net/text_lines.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace glimor::net {

std::vector<std::string> readTextLines(std::span<const std::uint8_t> bytes, std::size_t keepLast) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  std::deque<std::pair<decltype(end), decltype(end)>> kept;
  auto keep = [&](auto from, auto to) {
    if (keepLast == 0) return;
    if (kept.size() == keepLast) kept.pop_front();
    kept.emplace_back(from, to);
  };
  auto start = bytes.begin();
  for (auto at = start; at != end; ++at) {
    if (*at != '\r' && *at != '\n') continue;
    keep(start, at);
    if (*at == '\r' && at + 1 != end && at[1] == '\n') ++at;
    start = at + 1;
  }
  if (start != end) keep(start, end);
  std::vector<std::string> lines;
  lines.reserve(kept.size());
  for (auto [from, to] : kept) lines.emplace_back(from, to);
  return lines;
}

} // namespace glimor::net
