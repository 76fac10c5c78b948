#include "net/json_reader.h"

#include "platform/error.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace glimor::net {
namespace {

class Reader {
public:
  explicit Reader(std::string_view text) : text_(text) {}

  JsonValue document() {
    JsonValue value = this->value(0);
    skipBlanks();
    if (at_ != text_.size()) fail("unexpected text after the value");
    return value;
  }

private:
  [[noreturn]] void fail(const std::string& what) const {
    throw Error("Not valid JSON: " + what + " at byte " + std::to_string(at_ + 1) + ".");
  }
  void skipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool take(char c) {
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("'") + c + "' expected");
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  JsonValue value(std::size_t depth) {
    if (depth >= jsonDepthLimit) fail("nesting deeper than " + std::to_string(jsonDepthLimit) + " levels");
    skipBlanks();
    if (at_ == text_.size()) fail("a value expected");
    JsonValue v;
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      v.kind = JsonValue::Kind::Object;
      if (take('}')) return v;
      do {
        skipBlanks();
        if (at_ == text_.size() || text_[at_] != '"') fail("a member name expected");
        std::string name = string();
        if (v.member(name)) fail("the member \"" + name + "\" given twice");
        expect(':');
        v.members.push_back(JsonMember{std::move(name), value(depth + 1)});
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++at_;
      v.kind = JsonValue::Kind::Array;
      if (take(']')) return v;
      do v.items.push_back(value(depth + 1));
      while (take(','));
      expect(']');
    } else if (c == '"') {
      v.kind = JsonValue::Kind::String;
      v.text = string();
    } else if (word("true") || word("false")) {
      v.kind = JsonValue::Kind::Boolean;
      v.boolean = c == 't';
    } else if (word("null")) {
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.kind = JsonValue::Kind::Number;
      v.text = number();
    } else {
      fail("a value expected");
    }
    return v;
  }

  std::string number() {
    const std::size_t start = at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      if (at_ == from) fail("a digit expected");
    };
    if (text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0')
      ++at_;
    else
      digits();
    if (at_ < text_.size() && text_[at_] == '.') ++at_, digits();
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      digits();
    }
    return std::string(text_.substr(start, at_ - start));
  }

  unsigned hex4() {
    unsigned code = 0;
    if (at_ + 4 > text_.size() ||
        std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16).ptr != text_.data() + at_ + 4)
      fail("four hex digits expected after \\u");
    at_ += 4;
    return code;
  }

  static void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string string() {
    ++at_; // the opening quote
    std::string out;
    for (;;) {
      if (at_ == text_.size()) fail("the string does not end");
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) --at_, fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ == text_.size()) fail("the string does not end");
      switch (text_[at_++]) {
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case '/':
        out += '/';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        unsigned code = hex4();
        if (code >= 0xDC00 && code <= 0xDFFF) fail("a lone surrogate");
        if (code >= 0xD800 && code <= 0xDBFF) {
          if (!word("\\u")) fail("a lone surrogate");
          const unsigned low = hex4();
          if (low < 0xDC00 || low > 0xDFFF) fail("a lone surrogate");
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
        break;
      }
      default:
        --at_, fail("an unknown escape");
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

} // namespace

const JsonValue* JsonValue::member(std::string_view name) const {
  for (const auto& [key, value] : members)
    if (key == name) return &value;
  return nullptr;
}

std::string JsonValue::scalarText() const {
  switch (kind) {
  case Kind::Null:
    return "null";
  case Kind::Boolean:
    return boolean ? "true" : "false";
  case Kind::Number:
  case Kind::String:
    return text;
  default:
    return {};
  }
}

JsonValue parseJson(std::string_view text) {
  return Reader(text).document();
}

std::string jsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
      } else {
        out += c;
      }
    }
  }
  return out + '"';
}

const JsonValue* jsonAt(const JsonValue& root, std::string_view path) {
  // The steps are all read first, so a bad path fails whatever the value holds.
  struct Step {
    std::string_view name; // empty for an index
    std::size_t index = 0;
  };
  std::vector<Step> steps;
  auto bad = [&path](std::string_view what) {
    return Error("The JSON path \"" + std::string(path) + "\" has " + std::string(what) + ".");
  };
  if (path.empty()) throw Error("A JSON path is empty.");
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '[') {
      const std::size_t close = path.find(']', i);
      if (close == std::string_view::npos) throw bad("a [ without ]");
      const char* first = path.data() + i + 1;
      const char* last = path.data() + close;
      Step step;
      if (first == last || std::from_chars(first, last, step.index).ptr != last) throw bad("a bad [index]");
      steps.push_back(step);
      i = close + 1;
      if (i < path.size() && path[i] != '.' && path[i] != '[') throw bad("a name right after ]");
      continue;
    }
    if (path[i] == '.') {
      if (i == 0) throw bad("an empty step");
      ++i;
    }
    const std::size_t end = std::min(path.find_first_of(".[", i), path.size());
    if (end == i) throw bad("an empty step");
    steps.push_back({path.substr(i, end - i)});
    i = end;
  }
  const JsonValue* at = &root;
  for (const Step& step : steps) {
    if (!step.name.empty())
      at = at->member(step.name);
    else
      at = at->kind == JsonValue::Kind::Array && step.index < at->items.size() ? &at->items[step.index]
                                                                               : nullptr;
    if (!at) return nullptr;
  }
  return at;
}

} // namespace glimor::net
