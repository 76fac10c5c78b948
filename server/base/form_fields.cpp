#include "form_fields.h"

namespace glimor::server {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

} // namespace

std::optional<std::string> formField(std::string_view form, std::string_view name) {
  while (!form.empty()) {
    std::size_t end = form.find('&');
    std::string_view pair = form.substr(0, end);
    form = end == std::string_view::npos ? std::string_view{} : form.substr(end + 1);
    std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name)
      return decoded(pair.substr(equals + 1));
  }
  return std::nullopt;
}

std::string_view cookieValue(std::string_view cookieLine, std::string_view name) {
  while (!cookieLine.empty()) {
    std::size_t end = cookieLine.find(';');
    std::string_view pair = cookieLine.substr(0, end);
    cookieLine = end == std::string_view::npos ? std::string_view{} : cookieLine.substr(end + 1);
    while (pair.starts_with(' ')) pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
      return pair.substr(name.size() + 1);
  }
  return {};
}

} // namespace glimor::server
