#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimor::net {

// One JSON value as read: strings decoded to UTF-8, numbers kept as the text that was written.
struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;                // a string's value or a number's text
  std::vector<JsonValue> items;    // an array's
  std::vector<JsonMember> members; // an object's, in their order

  // The member named `name` of an object; none for another kind or a missing member.
  const JsonValue* member(std::string_view name) const;
  // A string's or a number's text, "true"/"false", "null"; empty for an array or an object.
  std::string scalarText() const;
};

// One member of an object: its name and value.
struct JsonMember {
  std::string name;
  JsonValue value;
};

inline constexpr std::size_t jsonDepthLimit = 64;

// Reads `text` as one JSON value (RFC 8259, nothing else around it but blanks). Strict: no
// comments, no trailing commas, no duplicate member names, no lone surrogates; nesting deeper than
// jsonDepthLimit is refused, so a hostile text cannot exhaust the stack. Throws Error saying what is
// wrong and at which byte.
JsonValue parseJson(std::string_view text);

// `text` as a JSON string, quotes and escapes included.
std::string jsonQuoted(std::string_view text);

// The value at a dotted path with [index] steps ("data.links[0].url", "files[0]", "[1].id"); none
// when a step does not exist. Throws Error for a path that cannot be read.
const JsonValue* jsonAt(const JsonValue& root, std::string_view path);

} // namespace glimor::net
