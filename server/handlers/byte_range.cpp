#include "byte_range.h"

#include <algorithm>
#include <charconv>

namespace glimor::server {
namespace {

std::optional<std::uint64_t> number(std::string_view text) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

} // namespace

std::variant<WholeBody, ByteRange, Unsatisfiable> parseRange(std::string_view line, std::uint64_t size) {
  line = trimmed(line);
  if (!line.starts_with("bytes=")) return WholeBody{};
  std::string_view wanted = trimmed(line.substr(6));
  std::size_t dash = wanted.find('-');
  if (wanted.find(',') != std::string_view::npos || dash == std::string_view::npos) return WholeBody{};
  std::string_view from = trimmed(wanted.substr(0, dash));
  std::string_view to = trimmed(wanted.substr(dash + 1));
  if (from.empty()) { // the last N bytes
    auto count = number(to);
    if (!count) return WholeBody{};
    if (*count == 0 || size == 0) return Unsatisfiable{};
    std::uint64_t length = std::min(*count, size);
    return ByteRange{size - length, length};
  }
  auto first = number(from);
  std::optional<std::uint64_t> last;
  if (!to.empty()) last = number(to);
  if (!first || (!to.empty() && !last) || (last && *last < *first)) return WholeBody{};
  if (*first >= size) return Unsatisfiable{};
  std::uint64_t end = last ? std::min(*last, size - 1) : size - 1;
  return ByteRange{*first, end - *first + 1};
}

void answerRange(Response& response, const Request& request, std::uint64_t size, std::string_view etag) {
  response.headers.emplace_back("Accept-Ranges", "bytes");
  if (request.range.empty() || (!request.ifRange.empty() && request.ifRange != etag)) return;
  auto range = parseRange(request.range, size);
  if (std::holds_alternative<Unsatisfiable>(range)) {
    response = textResponse(416, "Range not satisfiable");
    response.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
  } else if (auto* part = std::get_if<ByteRange>(&range)) {
    response.status = 206;
    response.range = *part;
    response.headers.emplace_back("Content-Range", "bytes " + std::to_string(part->first) + "-" +
                                                       std::to_string(part->first + part->length - 1) + "/" +
                                                       std::to_string(size));
  }
}

} // namespace glimor::server
