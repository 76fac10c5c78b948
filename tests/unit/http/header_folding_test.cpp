#include "http/header_folding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::http {
namespace {

using ::testing::ElementsAre;

TEST(FoldHeaderLine, LeavesLinesOfAtMost78CharactersAlone) {
  std::string line = "X: " + std::string(75, 'a');
  EXPECT_THAT(foldHeaderLine(line), ElementsAre(line));
}

TEST(FoldHeaderLine, FoldsTheUploadContentTypeAfterItsLastSpace) {
  EXPECT_THAT(
      foldHeaderLine("Content-Type: multipart/form-data; boundary=---------------------------7d6891e3b0542"),
      ElementsAre("Content-Type: multipart/form-data;",
                  " boundary=---------------------------7d6891e3b0542"));
}

TEST(FoldHeaderLine, FoldsTheAcceptLineIntoThreeLines) {
  EXPECT_THAT(
      foldHeaderLine("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
                     "application/vnd.ms-powerpoint, application/msword, application/x-shockwave-flash, */*"),
      ElementsAre("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg,",
                  " application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword,",
                  " application/x-shockwave-flash, */*"));
}

TEST(FoldHeaderLine, BreaksAfterTheFirstBreakBeyondTheWidthWhenNoneIsWithin) {
  std::string word(90, 'w');
  EXPECT_THAT(foldHeaderLine("X:" + word + ",tail end"), ElementsAre("X:" + word + ",", " tail end"));
  EXPECT_THAT(foldHeaderLine("X:" + word), ElementsAre("X:" + word));
}

TEST(FoldHeaderLine, NeverBreaksInsideDoubleQuotes) {
  std::string quoted = "\"" + std::string(40, 'a') + " " + std::string(40, 'b') + "\"";
  EXPECT_THAT(foldHeaderLine("X: v; q=" + quoted + " z"), ElementsAre("X: v;", " q=" + quoted, " z"));
}

TEST(FoldHeaderLine, DropsTrailingBlanksOfAPieceAndNeverSendsABlankContinuation) {
  std::string start = "X: " + std::string(70, 'a');
  const std::string tail(10, 'b');
  EXPECT_THAT(foldHeaderLine(start + "  \t " + tail), ElementsAre(start, std::string(" ").append(tail)));
  std::string unbroken = "X:" + std::string(90, 'c');
  EXPECT_THAT(foldHeaderLine(unbroken + " "), ElementsAre(unbroken));
}

} // namespace
} // namespace glimor::http
