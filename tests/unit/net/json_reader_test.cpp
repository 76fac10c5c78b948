#include "net/json_reader.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

std::string refusal(std::string_view text) {
  try {
    parseJson(text);
  } catch (const Error& error) {
    return error.what();
  }
  return "read";
}

TEST(JsonReader, ReadsNestedValuesAndDecodesEscapes) {
  const JsonValue root = parseJson(" {\"data\": {\"links\": [{\"url\": \"https:\\/\\/x\\/a\"}, 2.5e3]},"
                                   " \"t\": true, \"n\": null, \"s\": \"\\u00e9\\ud83d\\ude00\\n\"} ");
  const JsonValue* url = jsonAt(root, "data.links[0].url");
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(url->text, "https://x/a");
  EXPECT_EQ(jsonAt(root, "data.links[1]")->scalarText(), "2.5e3");
  EXPECT_EQ(jsonAt(root, "t")->scalarText(), "true");
  EXPECT_EQ(jsonAt(root, "n")->scalarText(), "null");
  EXPECT_EQ(jsonAt(root, "s")->text, "\xC3\xA9\xF0\x9F\x98\x80\n");
  EXPECT_EQ(jsonAt(root, "data.links[2]"), nullptr); // past the end
  EXPECT_EQ(jsonAt(root, "data.nothing.url"), nullptr);
  EXPECT_EQ(jsonAt(root, "t[0]"), nullptr); // not an array
  EXPECT_EQ(jsonAt(parseJson("[\"a\",[\"b\"]]"), "[1][0]")->text, "b");
  EXPECT_EQ(jsonQuoted("a\"\\\n\x01"), "\"a\\\"\\\\\\n\\u0001\"");
  EXPECT_EQ(parseJson(jsonQuoted("a\"\\\n\x01")).text, "a\"\\\n\x01");
}

TEST(JsonReader, RefusesWhatIsNotStrictJsonSayingWhereAndWhy) {
  EXPECT_EQ(refusal("{\"a\": 1,}"), "Not valid JSON: a member name expected at byte 9.");
  EXPECT_EQ(refusal("[1,]"), "Not valid JSON: a value expected at byte 4.");
  EXPECT_EQ(refusal("{\"a\": 1} x"), "Not valid JSON: unexpected text after the value at byte 10.");
  EXPECT_EQ(refusal("// c\n{}"), "Not valid JSON: a value expected at byte 1.");
  EXPECT_EQ(refusal("{\"a\": 1, \"a\": 2}"), "Not valid JSON: the member \"a\" given twice at byte 13.");
  EXPECT_EQ(refusal("\"\\ud800x\""), "Not valid JSON: a lone surrogate at byte 8.");
  EXPECT_EQ(refusal("\"a\nb\""), "Not valid JSON: a control character in a string at byte 3.");
  EXPECT_EQ(refusal("\"\\q\""), "Not valid JSON: an unknown escape at byte 3.");
  EXPECT_EQ(refusal("01"), "Not valid JSON: unexpected text after the value at byte 2.");
  EXPECT_EQ(refusal("\"abc"), "Not valid JSON: the string does not end at byte 5.");
  EXPECT_EQ(refusal(""), "Not valid JSON: a value expected at byte 1.");
  // Nesting is bounded, so a hostile answer cannot exhaust the stack.
  EXPECT_EQ(refusal(std::string(jsonDepthLimit - 1, '[') + std::string(jsonDepthLimit - 1, ']')), "read");
  EXPECT_EQ(refusal(std::string(100000, '[')), "Not valid JSON: nesting deeper than 64 levels at byte 65.");
}

TEST(JsonReader, RefusesPathsThatCannotBeRead) {
  for (const char* path : {"", "a..b", ".a", "a.", "a[x]", "a[1", "a[]", "a[0]b"})
    EXPECT_THROW(jsonAt(JsonValue{}, path), Error) << path;
}

} // namespace
} // namespace glimor::net
