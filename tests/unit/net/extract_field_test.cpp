#include "net/extract_field.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

TEST(ExtractField, TakesTheLinkAfterTheFirstSeparatorUpToTheNext) {
  EXPECT_EQ(ExtractField("Link: abc123", 2, "Link: "), "abc123");
  EXPECT_EQ(ExtractField("Link: abc123 Link: x", 2, "Link: "), "abc123 ");
  EXPECT_EQ(ExtractField("Link: a", 1, "Link: "), "");
  EXPECT_EQ(ExtractField("no link here", 2, "Link: "), "");
  EXPECT_EQ(ExtractField("link: lower case", 2, "Link: "), "");
}

TEST(ExtractField, CountsAdjacentAndMissingFields) {
  EXPECT_EQ(ExtractField("abc", 1, ".exe"), "abc");
  EXPECT_EQ(ExtractField("abc", 2, ".exe"), "");
  EXPECT_EQ(ExtractField("a.exe.exe", 2, ".exe"), "");
  EXPECT_EQ(ExtractField("a.exe.exe", 3, ".exe"), "");
  EXPECT_EQ(ExtractField("a.exe.exeb", 3, ".exe"), "b");
  EXPECT_EQ(ExtractField("", 1, ".exe"), "");
}

TEST(ExtractField, NeverLetsOccurrencesOverlap) {
  EXPECT_EQ(ExtractField("aaab", 2, "aa"), "ab");
  EXPECT_EQ(ExtractField("xaaay", 2, "aa"), "ay");
}

} // namespace
} // namespace glimor::net
