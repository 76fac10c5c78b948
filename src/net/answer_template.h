#pragma once
#include "http/answer_head.h"
#include "net/json_reader.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// The most of an answer that {json:...} and {xml:...} read, the most that {regex:...} searches, and
// the longest pattern (the pattern is compiled by recursive descent).
inline constexpr std::size_t templateAnswerLimit = 1024 * 1024;
inline constexpr std::size_t regexInputLimit = 64 * 1024;
inline constexpr std::size_t regexPatternLimit = 256;

// What a template is filled from: the answer to an upload and the uploaded file's name.
class TemplateSource {
public:
  TemplateSource(std::string_view body, const http::AnswerHead& head, std::string fileName)
      : body_(body), head_(head), fileName_(std::move(fileName)) {}

  std::string_view body() const { return body_; }
  const http::AnswerHead& head() const { return head_; }
  const std::string& fileName() const { return fileName_; }
  // The body read as JSON, once; none when it is not JSON. Throws Error when it is too large.
  const JsonValue* json() const;

private:
  std::string_view body_;
  const http::AnswerHead& head_;
  std::string fileName_;
  mutable std::optional<std::optional<JsonValue>> json_;
};

// A text of an uploader file with its fields: {json:path}, {xml:path}, {regex:PATTERN|GROUP},
// {response}, {header:name}, {filename}, and the older $json:path$. Outside a field, \{ \} \$ and
// \\ stand for the character itself; inside one, braces nest and a backslash keeps the character
// after it from closing the field (so a pattern such as \d{3} or \} reaches the regex as written).
// In {regex:...} the text after the last '|' is the group when it is a number (default 1).
class AnswerTemplate {
public:
  // Which fields may appear: a request is formed before there is an answer, so it knows only
  // {filename}.
  enum class Side { Request, Answer };

  AnswerTemplate() = default;
  // Throws Error saying what is wrong: an unknown field, a { without its }, a bad path or pattern,
  // a regex group that it does not have, an answer's field in a request.
  AnswerTemplate(std::string_view text, Side side);

  bool empty() const { return pieces_.empty(); }
  // The text with every field filled in; a field that finds nothing gives an empty text. Throws
  // Error when the answer is too large for a field that reads it.
  std::string resolve(const TemplateSource& source) const;

private:
  struct Piece {
    enum class Kind { Literal, Json, Xml, Regex, Response, Header, FileName };
    Kind kind = Kind::Literal;
    std::string text; // the literal, the path or the header name
    std::shared_ptr<const std::regex> regex;
    std::size_t group = 1;
  };
  void addField(std::string_view field, Side side);

  std::vector<Piece> pieces_;
};

} // namespace glimor::net
