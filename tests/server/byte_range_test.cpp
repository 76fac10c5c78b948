#include "byte_range.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

std::string rangeOf(std::string_view line, std::uint64_t size = 1000) {
  auto range = parseRange(line, size);
  if (std::holds_alternative<WholeBody>(range)) return "whole";
  if (std::holds_alternative<Unsatisfiable>(range)) return "unsatisfiable";
  auto part = std::get<ByteRange>(range);
  return std::to_string(part.first) + "+" + std::to_string(part.length);
}

TEST(ByteRange, ReadsTheThreeFormsOfOneRange) {
  EXPECT_EQ(rangeOf("bytes=0-499"), "0+500");
  EXPECT_EQ(rangeOf("bytes=900-"), "900+100");
  EXPECT_EQ(rangeOf("bytes=-100"), "900+100");
  EXPECT_EQ(rangeOf("bytes=990-5000"), "990+10");
  EXPECT_EQ(rangeOf("bytes=-5000"), "0+1000");
}

TEST(ByteRange, AnswersTheWholeBodyOrNothingOtherwise) {
  EXPECT_EQ(rangeOf("bytes=0-1,5-6"), "whole");
  EXPECT_EQ(rangeOf("items=0-1"), "whole");
  EXPECT_EQ(rangeOf("bytes=5-1"), "whole");
  EXPECT_EQ(rangeOf("bytes=x-1"), "whole");
  EXPECT_EQ(rangeOf("bytes=1000-"), "unsatisfiable");
  EXPECT_EQ(rangeOf("bytes=-0"), "unsatisfiable");
  EXPECT_EQ(rangeOf("bytes=0-", 0), "unsatisfiable");
}

TEST(ByteRange, AnswerCarriesContentRangeOrRefuses) {
  Request request;
  request.range = "bytes=10-19";
  Response partial;
  answerRange(partial, request, 1000, "\"e\"");
  EXPECT_EQ(partial.status, 206);
  EXPECT_EQ(partial.sentRange().first, 10u);
  EXPECT_EQ(partial.sentRange().length, 10u);
  EXPECT_EQ(partial.headers.back(),
            (std::pair<std::string, std::string>("Content-Range", "bytes 10-19/1000")));

  request.ifRange = "\"other\"";
  Response whole;
  answerRange(whole, request, 1000, "\"e\"");
  EXPECT_EQ(whole.status, 200);
  EXPECT_FALSE(whole.range);

  request = Request();
  request.range = "bytes=2000-";
  Response refused;
  answerRange(refused, request, 1000, "\"e\"");
  EXPECT_EQ(refused.status, 416);
  EXPECT_EQ(refused.headers.back(), (std::pair<std::string, std::string>("Content-Range", "bytes */1000")));
}

} // namespace
} // namespace glimor::server
