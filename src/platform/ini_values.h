#pragma once
#include "platform/profile.h"

#include <climits>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::platform::ini {

// Where a value lives in Glimor.ini.
struct Key {
  std::string_view section;
  std::string_view name;
};

// A number outside its range is brought to the nearer end, or read as the default.
enum class Beyond { clamped, fallback };

// An integer: decimal, or hexadecimal after "0x" (more than two characters). A value that does
// not parse reads as the default.
struct Number {
  Key key;
  int fallback;
  int lowest = INT_MIN;
  int highest = INT_MAX;
  Beyond beyond = Beyond::fallback;
};
// A switch, written "1" or "0" and read as a number: any other number is on, text the default.
struct Flag {
  Key key;
  bool fallback;
};
// Text, read up to its first 2047 characters.
struct Text {
  Key key;
  std::string_view fallback;
};

inline constexpr std::size_t maxTextLength = 2047;

std::optional<int> parseInteger(std::string_view text);

int read(Profile& profile, const Number& number);
bool read(Profile& profile, const Flag& flag);
std::string read(Profile& profile, const Text& text);
// Text that is there, even when empty; nothing when the key is absent.
std::optional<std::string> readIfPresent(Profile& profile, const Key& key);

// Each write goes straight to the file; a file that cannot be written throws
// Error("Unable to write to <path>").
void write(Profile& profile, const Number& number, int value);
void write(Profile& profile, const Flag& flag, bool value);
void write(Profile& profile, const Text& text, const std::string& value);

} // namespace glimor::platform::ini
