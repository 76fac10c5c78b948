#include "platform/ini_values.h"

#include "platform/error.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace glimor::platform::ini {

std::optional<int> parseInteger(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint32_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (base == 16) return static_cast<int>(magnitude); // eight hex digits wrap as 32-bit values do
  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<int>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 2147483647u) return std::nullopt;
  return static_cast<int>(magnitude);
}

std::optional<std::string> readIfPresent(Profile& profile, const Key& key) {
  std::optional<std::string> text = profile.read(std::string(key.section), std::string(key.name));
  if (text && text->size() > maxTextLength) text->resize(maxTextLength);
  return text;
}

int read(Profile& profile, const Number& number) {
  std::optional<std::string> text = readIfPresent(profile, number.key);
  std::optional<int> value = text ? parseInteger(*text) : std::nullopt;
  if (!value) return number.fallback;
  if (*value >= number.lowest && *value <= number.highest) return *value;
  return number.beyond == Beyond::clamped ? std::clamp(*value, number.lowest, number.highest)
                                          : number.fallback;
}

bool read(Profile& profile, const Flag& flag) {
  return read(profile, Number{flag.key, flag.fallback ? 1 : 0}) != 0;
}

std::string read(Profile& profile, const Text& text) {
  return readIfPresent(profile, text.key).value_or(std::string(text.fallback));
}

namespace {
void writeText(Profile& profile, const Key& key, const std::string& value) {
  if (!profile.write(std::string(key.section), std::string(key.name), value))
    throw Error("Unable to write to " + profile.path());
}
} // namespace

void write(Profile& profile, const Number& number, int value) {
  writeText(profile, number.key, std::to_string(value));
}

void write(Profile& profile, const Flag& flag, bool value) {
  writeText(profile, flag.key, value ? "1" : "0");
}

void write(Profile& profile, const Text& text, const std::string& value) {
  writeText(profile, text.key, value);
}

} // namespace glimor::platform::ini
