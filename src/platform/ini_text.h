#pragma once
#include <optional>
#include <string>
#include <string_view>

// The text of an INI file, read and changed as Windows' profile functions do: sections and keys
// match in any ASCII letter case, the first of each counts, blanks around names and values are
// not part of them, and a value in matching quotes loses the quotes. The bytes are the file's
// own (UTF-8 for this program), so any text round-trips.
namespace glimor::platform::ini {

// Values longer than this are cut, as the profile functions' buffers cut them.
inline constexpr std::size_t maxValueLength = 2047;

// The key's value in the section, or nothing when either is absent.
std::optional<std::string> valueOf(std::string_view text, std::string_view section, std::string_view key);

// The text with key=value set in the section: an existing line is replaced, a new key follows the
// section's last line, a new section is added at the end. Every other byte stays as it was.
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

} // namespace glimor::platform::ini
