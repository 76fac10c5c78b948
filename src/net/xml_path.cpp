#include "net/xml_path.h"

#include "platform/error.h"

#include <charconv>
#include <vector>

namespace glimor::net {
namespace {

std::vector<std::string_view> stepsOf(std::string_view written) {
  std::string_view path = written.starts_with('/') ? written.substr(1) : written;
  std::vector<std::string_view> steps;
  for (;;) {
    const std::size_t slash = path.find('/');
    steps.push_back(path.substr(0, slash));
    if (steps.back().empty()) throw Error("The XML path \"" + std::string(written) + "\" has an empty step.");
    if (slash == std::string_view::npos) return steps;
    path.remove_prefix(slash + 1);
  }
}

void appendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x110000) {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Character data with its entities decoded; an unknown entity stays as written.
void appendDecoded(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (semicolon == std::string_view::npos || semicolon - i > 10) {
      out += text[i];
      continue;
    }
    const std::string_view name = text.substr(i + 1, semicolon - i - 1);
    unsigned long code = 0;
    const bool hex = name.starts_with("#x") || name.starts_with("#X");
    if (name == "lt")
      out += '<';
    else if (name == "gt")
      out += '>';
    else if (name == "amp")
      out += '&';
    else if (name == "quot")
      out += '"';
    else if (name == "apos")
      out += '\'';
    else if (name.starts_with('#') && name.size() > (hex ? 2u : 1u) &&
             std::from_chars(name.data() + (hex ? 2 : 1), name.data() + name.size(), code, hex ? 16 : 10)
                     .ptr == name.data() + name.size())
      appendUtf8(out, code);
    else {
      out += text[i];
      continue;
    }
    i = semicolon;
  }
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::optional<std::string> xmlElementText(std::string_view xml, std::string_view path) {
  const std::vector<std::string_view> steps = stepsOf(path);
  std::vector<std::string_view> open;
  bool inside = false; // within the element sought
  std::string text;
  std::size_t i = 0;
  auto skipTo = [&](std::string_view end) {
    const std::size_t at = xml.find(end, i);
    if (at == std::string_view::npos) return false;
    i = at + end.size();
    return true;
  };
  while (i < xml.size()) {
    const std::size_t lt = xml.find('<', i);
    if (inside) appendDecoded(text, xml.substr(i, lt - i));
    if (lt == std::string_view::npos) break;
    i = lt;
    if (xml.substr(i).starts_with("<!--")) {
      if (!skipTo("-->")) break;
    } else if (xml.substr(i).starts_with("<![CDATA[")) {
      const std::size_t start = i + 9;
      if (!skipTo("]]>")) break;
      if (inside) text += xml.substr(start, i - 3 - start);
    } else if (xml.substr(i).starts_with("<?")) {
      if (!skipTo("?>")) break;
    } else if (xml.substr(i).starts_with("<!")) {
      if (!skipTo(">")) break;
    } else {
      const bool closing = xml.substr(i).starts_with("</");
      const std::size_t nameStart = i + (closing ? 2 : 1);
      std::size_t end = nameStart;
      char quote = 0; // attribute values may hold '>'
      for (; end < xml.size() && (quote || xml[end] != '>'); ++end)
        if (xml[end] == '"' || xml[end] == '\'') quote = quote == xml[end] ? 0 : (quote ? quote : xml[end]);
      if (end == xml.size()) break;
      const std::string_view tag = xml.substr(nameStart, end - nameStart);
      const std::string_view name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
      if (name.empty()) return std::nullopt;
      i = end + 1;
      if (closing) {
        if (open.empty() || open.back() != name) return std::nullopt;
        open.pop_back();
        if (inside && open.size() < steps.size()) return trimmed(text);
        continue;
      }
      open.push_back(name);
      const bool sought = !inside && open == steps;
      if (tag.ends_with('/')) {
        if (sought) return std::string();
        open.pop_back();
      } else if (sought) {
        inside = true;
      }
    }
  }
  return std::nullopt;
}

} // namespace glimor::net
