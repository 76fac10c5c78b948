#include "net/browser_command.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

TEST(BrowserStart, KeepsTheOptionsWithTheirLeadingSpaceBeforeTheLink) {
  BrowserStart start = browserStart("\"C:\\Program Files\\Web\\viewer.exe\" -nohome", "http://svc/a");
  EXPECT_EQ(start.programPath, "C:\\Program Files\\Web\\viewer.exe");
  EXPECT_EQ(start.commandLine, " -nohome \"http://svc/a\"");
}

TEST(BrowserStart, PassesPlaceholdersOnAndHandlesMissingOptions) {
  EXPECT_EQ(browserStart("C:\\Browser\\b.exe -url \"%1\"", "L").commandLine, " -url %1 \"L\"");
  EXPECT_EQ(browserStart("\"C:\\B\\b.exe\"", "L").commandLine, " \"L\"");
  EXPECT_EQ(browserStart("\"C:\\B\\b.exe\"", " L").commandLine, " \" L\"");
}

TEST(BrowserStart, DoublesTheBackslashesBeforeTheClosingQuote) {
  // Otherwise the last one would escape the quote and the argument would run on.
  EXPECT_EQ(browserStart("b.exe", "http://svc/a\\").commandLine, " \"http://svc/a\\\\\"");
  EXPECT_EQ(browserStart("b.exe", "http://svc/a\\b").commandLine, " \"http://svc/a\\b\"");
}

TEST(BrowserStart, FallsBackToTheWholeCommandWithoutALowerCaseExe) {
  EXPECT_EQ(browserStart("", "L").programPath, ".exe");
  EXPECT_EQ(browserStart("C:\\B\\B.EXE -x", "L").programPath, "C:\\B\\B.EXE -x.exe");
  EXPECT_EQ(browserStart("C:\\B\\B.EXE -x", "L").commandLine, " \"L\"");
}

TEST(IsServiceLink, MatchesTheBaseUrlByteForByteAfterTrimming) {
  EXPECT_TRUE(isServiceLink("http://svc:8080/i/abc", "http://svc:8080/"));
  EXPECT_TRUE(isServiceLink(" http://svc:8080/i/abc ", "http://svc:8080/"));
  EXPECT_FALSE(isServiceLink("http://svc:8080/i/abc\r\n", "http://svc:8080/"));
  EXPECT_FALSE(isServiceLink("http://svc:8080/i/abc\" --some-switch x", "http://svc:8080/"));
  EXPECT_FALSE(isServiceLink("http://SVC:8080/i/abc", "http://svc:8080/"));
  EXPECT_FALSE(isServiceLink("http://svc:8080", "http://svc:8080/"));
  EXPECT_FALSE(isServiceLink("http://evil/?http://svc:8080/", "http://svc:8080/"));
}

} // namespace
} // namespace glimor::net
