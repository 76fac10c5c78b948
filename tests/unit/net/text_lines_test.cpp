#include "net/text_lines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> linesOf(std::string_view text) {
  return readTextLines(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(ReadTextLines, SplitsAtEveryKindOfLineEndAlike) {
  EXPECT_THAT(linesOf("OK\r\nLink: abc123\r\n"), ElementsAre("OK", "Link: abc123"));
  EXPECT_THAT(linesOf("OK\nLink: abc123\n"), ElementsAre("OK", "Link: abc123"));
  EXPECT_THAT(linesOf("OK\rLink: abc123\r"), ElementsAre("OK", "Link: abc123"));
  EXPECT_THAT(linesOf("a\n\rb\r\r\nc"), ElementsAre("a", "", "b", "", "c"));
}

TEST(ReadTextLines, KeepsAFinalEmptyLineOnlyWhenItIsWritten) {
  EXPECT_THAT(linesOf("Link: abc123\r\n\r\n"), ElementsAre("Link: abc123", ""));
  EXPECT_THAT(linesOf("\r\n"), ElementsAre(""));
  EXPECT_THAT(linesOf(""), IsEmpty());
}

TEST(ReadTextLines, StopsAtTheFirstZeroByte) {
  EXPECT_THAT(linesOf(std::string_view("a\r\nb\0c\r\nd", 9)), ElementsAre("a", "b"));
  EXPECT_THAT(linesOf(std::string_view("\0Link: x", 8)), IsEmpty());
  EXPECT_THAT(linesOf(std::string_view("a\r\0\n", 4)), ElementsAre("a"));
}

TEST(ReadTextLines, KeepsOnlyTheLastLinesAskedFor) {
  std::string_view text = "a\r\nb\nc\rd";
  auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  EXPECT_THAT(readTextLines(bytes, 2), ElementsAre("c", "d"));
  EXPECT_THAT(readTextLines(bytes, 9), ElementsAre("a", "b", "c", "d"));
  std::string breaks(1 << 20, '\n');
  EXPECT_EQ(
      readTextLines(std::span(reinterpret_cast<const std::uint8_t*>(breaks.data()), breaks.size()), 3).size(),
      3u);
}

} // namespace
} // namespace glimor::net
