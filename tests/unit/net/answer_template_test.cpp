#include "net/answer_template.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

std::string filled(std::string_view text, std::string_view body, std::vector<std::string> headers = {}) {
  http::AnswerHead head;
  head.headerLines = std::move(headers);
  return AnswerTemplate(text, AnswerTemplate::Side::Answer).resolve(TemplateSource(body, head, "shot.png"));
}

std::string refusal(std::string_view text, AnswerTemplate::Side side = AnswerTemplate::Side::Answer) {
  try {
    AnswerTemplate(text, side);
  } catch (const Error& error) {
    return error.what();
  }
  return "taken";
}

TEST(AnswerTemplate, FillsEachKindOfField) {
  const std::string json = R"({"data":{"links":[{"url":"https://i.example/a"}]},"files":["f1"],"id":7})";
  EXPECT_EQ(filled("{json:data.links[0].url}", json), "https://i.example/a");
  EXPECT_EQ(filled("https://i.example/{json:files[0]}?id={json:id}", json), "https://i.example/f1?id=7");
  EXPECT_EQ(filled("$json:data.links[0].url$", json), "https://i.example/a");
  EXPECT_EQ(filled("{json:missing}|{json:data}", json), "|"); // nothing, and no text for an object
  EXPECT_EQ(filled("{json:id}", "not json"), "");
  EXPECT_EQ(filled("{xml:/upload/links/original}",
                   "<?xml version=\"1.0\"?><!-- x --><upload a=\"1>2\"><links><thumb/><original>\n"
                   "  http://x/a?b=1&amp;c=&#50;<![CDATA[<d>]]> </original></links></upload>"),
            "http://x/a?b=1&c=2<d>");
  EXPECT_EQ(filled("{xml:upload/none}", "<upload><links/></upload>"), "");
  EXPECT_EQ(filled("{regex:id=(\\d{3})}", "x id=123 y"), "123");
  EXPECT_EQ(filled("{regex:(a|b)(c)|2}", "bc"), "c");
  EXPECT_EQ(filled("{regex:https://\\S+}", "see https://x/y here"), "https://x/y"); // no group: the match
  EXPECT_EQ(filled("{regex:(z)}", "abc"), "");
  EXPECT_EQ(filled("{response}", "https://x/raw\n"), "https://x/raw\n");
  EXPECT_EQ(filled("{header:location}", "", {"Location: https://x/h"}), "https://x/h");
  EXPECT_EQ(filled("\\{{filename}\\}\\$json:a\\$", ""), "{shot.png}$json:a$");
  EXPECT_EQ(filled("{filename}", ""), "shot.png");
}

TEST(AnswerTemplate, TheLongAnswerIsReadOnlyWithinItsBounds) {
  // The regex matcher searches only the start of the answer, so a long one cannot exhaust the stack.
  const std::string longAnswer = std::string(regexInputLimit, 'a') + "LINK";
  EXPECT_EQ(filled("{regex:(a+)|1}", longAnswer).size(), regexInputLimit);
  EXPECT_EQ(filled("{regex:LINK|0}", longAnswer), "");
  EXPECT_THROW(filled("{json:a}", std::string(templateAnswerLimit + 1, ' ')), Error);
}

TEST(AnswerTemplate, RefusesWhatItCannotReadSayingWhy) {
  EXPECT_EQ(refusal("{json:a"), "A { has no } after it in \"{json:a\".");
  EXPECT_EQ(refusal("$json:a"), "A $json: has no $ after it in \"$json:a\".");
  EXPECT_EQ(refusal("{random}"), "{random} is not a field Glimor knows.");
  EXPECT_EQ(refusal("{json:a..b}"), "The JSON path \"a..b\" has an empty step.");
  EXPECT_EQ(refusal("{xml:a//b}"), "The XML path \"a//b\" has an empty step.");
  EXPECT_EQ(refusal("{header:}"), "{header:} names no header.");
  EXPECT_EQ(refusal("{regex:(a|2}"),
            "The pattern \"(a\" is not a valid regular expression (back-references are not taken).");
  EXPECT_EQ(refusal("{regex:(a)|2}"), "The pattern \"(a)\" has no group 2.");
  EXPECT_EQ(refusal("{regex:" + std::string(regexPatternLimit + 1, 'a') + "}"),
            "A regex pattern may be at most 256 characters long.");
  EXPECT_EQ(refusal("{json:url}", AnswerTemplate::Side::Request),
            "{json:url} reads the answer, so it cannot be part of the request.");
  EXPECT_EQ(refusal("https://x/{filename}", AnswerTemplate::Side::Request), "taken");
}

} // namespace
} // namespace glimor::net
