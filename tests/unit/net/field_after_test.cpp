#include "net/field_after.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

TEST(FieldAfter, TakesTheLinkAfterTheFirstSeparatorUpToTheNext) {
  EXPECT_EQ(fieldAfter("Link: abc123", 2, "Link: "), "abc123");
  EXPECT_EQ(fieldAfter("Link: abc123 Link: x", 2, "Link: "), "abc123 ");
  EXPECT_EQ(fieldAfter("Link: a", 1, "Link: "), "");
  EXPECT_EQ(fieldAfter("no link here", 2, "Link: "), "");
  EXPECT_EQ(fieldAfter("link: lower case", 2, "Link: "), "");
}

TEST(FieldAfter, CountsAdjacentAndMissingFields) {
  EXPECT_EQ(fieldAfter("abc", 1, ".exe"), "abc");
  EXPECT_EQ(fieldAfter("abc", 2, ".exe"), "");
  EXPECT_EQ(fieldAfter("a.exe.exe", 2, ".exe"), "");
  EXPECT_EQ(fieldAfter("a.exe.exe", 3, ".exe"), "");
  EXPECT_EQ(fieldAfter("a.exe.exeb", 3, ".exe"), "b");
  EXPECT_EQ(fieldAfter("", 1, ".exe"), "");
}

TEST(FieldAfter, NeverLetsOccurrencesOverlap) {
  EXPECT_EQ(fieldAfter("aaab", 2, "aa"), "ab");
  EXPECT_EQ(fieldAfter("xaaay", 2, "aa"), "ay");
}

} // namespace
} // namespace glimor::net
