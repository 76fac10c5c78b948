#include "platform/ini_text.h"

#include "platform/ascii_case.h"

namespace glimor::platform::ini {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// One line of the text: where it starts, where its content ends (before the line break) and
// where the next line starts.
struct Line {
  std::size_t start, end, next;
};

Line lineAt(std::string_view text, std::size_t start) {
  std::size_t end = text.find('\n', start);
  if (end == std::string_view::npos) return {start, text.size(), text.size()};
  return {start, end, end + 1};
}

// The section's name when the line opens one.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trimmed(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  return trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// Where a key lies in the text: its line, and the end of the section's last non-blank line.
struct Place {
  std::optional<Line> keyLine;
  std::optional<std::size_t> sectionEnd;
};

Place find(std::string_view text, std::string_view section, std::string_view key) {
  Place place;
  bool inSection = false;
  for (std::size_t at = 0; at < text.size();) {
    Line line = lineAt(text, at);
    at = line.next;
    std::string_view content = text.substr(line.start, line.end - line.start);
    if (std::optional<std::string_view> name = sectionName(content)) {
      if (place.sectionEnd) break; // only the first section of this name counts
      inSection = ascii::equalsIgnoringCase(*name, section);
      if (inSection) place.sectionEnd = line.next;
      continue;
    }
    if (!inSection || trimmed(content).empty()) continue;
    place.sectionEnd = line.next;
    std::size_t equals = content.find('=');
    if (equals != std::string_view::npos &&
        ascii::equalsIgnoringCase(trimmed(content.substr(0, equals)), key)) {
      place.keyLine = line;
      break;
    }
  }
  return place;
}

std::string_view withoutQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Cut at the limit, never inside a UTF-8 sequence.
std::string_view cut(std::string_view value) {
  if (value.size() <= maxValueLength) return value;
  std::size_t length = maxValueLength;
  while (length > 0 && (static_cast<unsigned char>(value[length]) & 0xC0) == 0x80) --length;
  return value.substr(0, length);
}

} // namespace

std::optional<std::string> valueOf(std::string_view text, std::string_view section, std::string_view key) {
  Place place = find(text, section, key);
  if (!place.keyLine) return std::nullopt;
  std::string_view line = text.substr(place.keyLine->start, place.keyLine->end - place.keyLine->start);
  return std::string(cut(withoutQuotes(trimmed(line.substr(line.find('=') + 1)))));
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string entry = std::string(key) + "=" + std::string(value);
  Place place = find(text, section, key);
  std::string result;
  if (place.keyLine) {
    // The line's own break (CR LF or LF) stays.
    std::size_t end = place.keyLine->end;
    if (end > place.keyLine->start && text[end - 1] == '\r') --end;
    result.append(text.substr(0, place.keyLine->start)).append(entry).append(text.substr(end));
  } else if (place.sectionEnd) {
    std::size_t at = *place.sectionEnd;
    result.append(text.substr(0, at));
    if (!result.empty() && result.back() != '\n') result += "\r\n";
    result.append(entry).append("\r\n").append(text.substr(at));
  } else {
    result.append(text);
    if (!result.empty() && result.back() != '\n') result += "\r\n";
    result.append("[").append(section).append("]\r\n").append(entry).append("\r\n");
  }
  return result;
}

} // namespace glimor::platform::ini
