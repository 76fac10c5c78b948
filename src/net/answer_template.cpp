#include "net/answer_template.h"

#include "net/xml_path.h"
#include "platform/error.h"

#include <algorithm>
#include <charconv>

namespace glimor::net {
namespace {

// The library's default matcher recurses once for every character it takes, which a long answer
// turns into a stack overflow; its breadth-first matcher does not (and takes no back-references).
#ifdef __GLIBCXX__
constexpr auto regexSyntax = std::regex::ECMAScript | std::regex_constants::__polynomial;
#else
constexpr auto regexSyntax = std::regex::ECMAScript;
#endif

void checkAnswerSize(std::string_view body) {
  if (body.size() > templateAnswerLimit)
    throw Error("The answer is larger than " + std::to_string(templateAnswerLimit) +
                " bytes, too large to read the link from.");
}

} // namespace

const JsonValue* TemplateSource::json() const {
  if (!json_) {
    checkAnswerSize(body_);
    try {
      json_.emplace(parseJson(body_));
    } catch (const Error&) {
      json_.emplace(std::nullopt);
    }
  }
  return *json_ ? &**json_ : nullptr;
}

AnswerTemplate::AnswerTemplate(std::string_view text, Side side) {
  auto literal = [this](char c) {
    if (pieces_.empty() || pieces_.back().kind != Piece::Kind::Literal) pieces_.push_back({});
    pieces_.back().text += c;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() &&
        std::string_view("{}$\\").find(text[i + 1]) != std::string_view::npos) {
      literal(text[++i]);
    } else if (c == '{') {
      std::size_t depth = 1, end = i + 1;
      for (; end < text.size(); ++end) {
        if (text[end] == '\\')
          ++end;
        else if (text[end] == '{')
          ++depth;
        else if (text[end] == '}' && --depth == 0)
          break;
      }
      if (end >= text.size()) throw Error("A { has no } after it in \"" + std::string(text) + "\".");
      addField(text.substr(i + 1, end - i - 1), side);
      i = end;
    } else if (c == '$' && text.substr(i).starts_with("$json:")) {
      const std::size_t end = text.find('$', i + 1);
      if (end == std::string_view::npos)
        throw Error("A $json: has no $ after it in \"" + std::string(text) + "\".");
      addField(text.substr(i + 1, end - i - 1), side);
      i = end;
    } else {
      literal(c);
    }
  }
}

void AnswerTemplate::addField(std::string_view field, Side side) {
  const std::size_t colon = field.find(':');
  const std::string_view name = field.substr(0, colon);
  const std::string_view argument =
      colon == std::string_view::npos ? std::string_view() : field.substr(colon + 1);
  Piece piece;
  if (field == "filename") {
    piece.kind = Piece::Kind::FileName;
  } else if (field == "response") {
    piece.kind = Piece::Kind::Response;
  } else if (colon != std::string_view::npos && name == "json") {
    piece.kind = Piece::Kind::Json;
    jsonAt(JsonValue{}, argument); // throws for a path that cannot be read
  } else if (colon != std::string_view::npos && name == "xml") {
    piece.kind = Piece::Kind::Xml;
    xmlElementText({}, argument);
  } else if (colon != std::string_view::npos && name == "header") {
    piece.kind = Piece::Kind::Header;
    if (argument.empty()) throw Error("{header:} names no header.");
  } else if (colon != std::string_view::npos && name == "regex") {
    piece.kind = Piece::Kind::Regex;
    std::string_view pattern = argument;
    const std::size_t bar = pattern.rfind('|');
    bool numbered = false;
    if (bar != std::string_view::npos && bar + 1 < pattern.size() && pattern.size() - bar <= 3 &&
        std::from_chars(pattern.data() + bar + 1, pattern.data() + pattern.size(), piece.group).ptr ==
            pattern.data() + pattern.size())
      pattern = pattern.substr(0, bar), numbered = true;
    if (pattern.empty()) throw Error("{regex:} has no pattern.");
    if (pattern.size() > regexPatternLimit)
      throw Error("A regex pattern may be at most " + std::to_string(regexPatternLimit) +
                  " characters long.");
    try {
      piece.regex = std::make_shared<const std::regex>(std::string(pattern), regexSyntax);
    } catch (const std::regex_error&) {
      throw Error("The pattern \"" + std::string(pattern) +
                  "\" is not a valid regular expression (back-references are not taken).");
    }
    if (!numbered && piece.regex->mark_count() == 0) piece.group = 0; // the whole match
    if (piece.group > piece.regex->mark_count())
      throw Error("The pattern \"" + std::string(pattern) + "\" has no group " + std::to_string(piece.group) +
                  ".");
  } else {
    throw Error("{" + std::string(field) + "} is not a field Glimor knows.");
  }
  if (side == Side::Request && piece.kind != Piece::Kind::FileName)
    throw Error("{" + std::string(field) + "} reads the answer, so it cannot be part of the request.");
  piece.text = argument;
  pieces_.push_back(std::move(piece));
}

std::string AnswerTemplate::resolve(const TemplateSource& source) const {
  std::string out;
  for (const Piece& piece : pieces_) {
    switch (piece.kind) {
    case Piece::Kind::Literal:
      out += piece.text;
      break;
    case Piece::Kind::FileName:
      out += source.fileName();
      break;
    case Piece::Kind::Response:
      out += source.body();
      break;
    case Piece::Kind::Header:
      out += source.head().header(piece.text).value_or("");
      break;
    case Piece::Kind::Json:
      if (const JsonValue* json = source.json())
        if (const JsonValue* value = jsonAt(*json, piece.text)) out += value->scalarText();
      break;
    case Piece::Kind::Xml:
      checkAnswerSize(source.body());
      out += xmlElementText(source.body(), piece.text).value_or("");
      break;
    case Piece::Kind::Regex: {
      const std::string_view body = source.body().substr(0, regexInputLimit);
      std::cmatch match;
      if (std::regex_search(body.data(), body.data() + body.size(), match, *piece.regex) &&
          match[piece.group].matched)
        out += match[piece.group].str();
      break;
    }
    }
  }
  return out;
}

} // namespace glimor::net
